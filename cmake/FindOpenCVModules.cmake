# SPDX-License-Identifier: GPL-3.0-or-later
# Finds the OpenCV 4 modules we use (core, imgproc, imgcodecs).
#
# The program links its own static OpenCV, built from Debian's sources with only the BMP and
# PNG codecs (scripts/build-native-deps, on Windows scripts/build-windows-deps) and found in
# CMAKE_PREFIX_PATH; its package configuration also names what must be linked after the
# modules (libpng, zlib). Without it the modules come from Debian's -dev packages, shared:
# they work the same, but bring Debian's whole codec chain (GDAL and about 140 more
# libraries) into every start of the program. Debian ships the CMake package configuration
# only with the full libopencv-dev, which drags in dozens of modules we never link.
find_package(OpenCV 4 CONFIG QUIET COMPONENTS core imgproc imgcodecs)
if(OpenCV_FOUND)
  message(STATUS "OpenCV ${OpenCV_VERSION} from ${OpenCV_DIR} (shared: ${OpenCV_SHARED})")
  set(OpenCVModules_FOUND TRUE)
  return()
endif()

find_path(OpenCVModules_INCLUDE_DIR opencv2/core.hpp PATH_SUFFIXES opencv4)
set(_ravelkin_opencv_vars OpenCVModules_INCLUDE_DIR)
foreach(module core imgproc imgcodecs)
  find_library(OpenCVModules_${module}_LIBRARY opencv_${module})
  list(APPEND _ravelkin_opencv_vars OpenCVModules_${module}_LIBRARY)
endforeach()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(OpenCVModules REQUIRED_VARS ${_ravelkin_opencv_vars})

if(OpenCVModules_FOUND)
  message(STATUS "Debian's shared OpenCV: every start loads its codec chain; "
                 "scripts/build-native-deps gives the prefix of a static one")
  foreach(module core imgproc imgcodecs)
    if(NOT TARGET opencv_${module})
      add_library(opencv_${module} UNKNOWN IMPORTED)
      set_target_properties(opencv_${module} PROPERTIES
        IMPORTED_LOCATION "${OpenCVModules_${module}_LIBRARY}"
        INTERFACE_INCLUDE_DIRECTORIES "${OpenCVModules_INCLUDE_DIR}")
    endif()
  endforeach()
endif()
