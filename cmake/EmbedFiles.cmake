# SPDX-License-Identifier: GPL-3.0-or-later
# embed_files(OUTPUT out.cpp NAMES n1 n2 ... FILES f1 f2 ...)
# Writes a C++ source that defines `extern const unsigned char <name>[]` and
# `extern const unsigned long <name>_size` for each file, so resources travel inside the binary.
function(embed_files)
  cmake_parse_arguments(ARG "" "OUTPUT" "NAMES;FILES" ${ARGN})
  set(text "// Generated from resource files by embed_files(); do not edit.\n")
  foreach(name file IN ZIP_LISTS ARG_NAMES ARG_FILES)
    file(READ "${file}" hex HEX)
    string(LENGTH "${hex}" hex_length)
    math(EXPR size "${hex_length} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(APPEND text "extern const unsigned char ${name}[] = {${bytes}};\n")
    string(APPEND text "extern const unsigned long ${name}_size = ${size};\n")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${file}")
  endforeach()
  file(CONFIGURE OUTPUT "${ARG_OUTPUT}" CONTENT "${text}")
endfunction()
