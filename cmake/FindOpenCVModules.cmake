# Finds the OpenCV 4 modules we use (core, imgproc, imgcodecs) from their own -dev packages.
# Debian ships the CMake package configuration only with the full libopencv-dev, which
# drags in dozens of modules we never link.
#
# On Windows OpenCV is our own static build (scripts/build-windows-deps), whose package
# configuration also names what must be linked after the modules (libpng, zlib).
if(WIN32)
  find_package(OpenCV 4 CONFIG QUIET COMPONENTS core imgproc imgcodecs)
  if(OpenCV_FOUND)
    set(OpenCVModules_FOUND TRUE)
    return()
  endif()
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
  foreach(module core imgproc imgcodecs)
    if(NOT TARGET opencv_${module})
      add_library(opencv_${module} UNKNOWN IMPORTED)
      set_target_properties(opencv_${module} PROPERTIES
        IMPORTED_LOCATION "${OpenCVModules_${module}_LIBRARY}"
        INTERFACE_INCLUDE_DIRECTORIES "${OpenCVModules_INCLUDE_DIR}")
    endif()
  endforeach()
endif()
