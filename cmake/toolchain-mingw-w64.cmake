# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-builds for 64-bit Windows with Debian's MinGW-w64 compilers (g++-mingw-w64-x86-64-posix).
# The POSIX-threads flavour, because std::thread and std::mutex need it.
#
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64.cmake \
#         -DCMAKE_PREFIX_PATH=<prefix of scripts/build-windows-deps>
#
# Libraries and headers are searched only below the MinGW-w64 root and the given prefixes,
# never among the host's own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_ravelkin_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_ravelkin_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_ravelkin_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_ravelkin_triple}-windres)
set(CMAKE_AR ${_ravelkin_triple}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${_ravelkin_triple}-gcc-ranlib-posix CACHE FILEPATH "")

# The dependency prefix is both a find root and a prefix; try_compile projects see it too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES CMAKE_PREFIX_PATH)
set(CMAKE_FIND_ROOT_PATH /usr/${_ravelkin_triple} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# GCC cannot align the Win64 stack to 32 bytes (GCC bug 54412), so AVX code that spills a
# vector with an aligned move may fault; the assembler writes every such move unaligned.
set(CMAKE_C_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")
set(CMAKE_CXX_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")

# Programs carry libgcc, libstdc++ and winpthread inside, so an .exe runs on its own.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

