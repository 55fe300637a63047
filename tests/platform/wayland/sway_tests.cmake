# SPDX-License-Identifier: GPL-3.0-or-later
# ravelkin_sway_tests(TARGET LABEL [OUTPUTS "WxH WxH..."] [FILTER gtest-filter] [PREFIX name]):
# each test of the program on a headless sway of its own, which scripts/lib/with-sway starts
# and stops; OUTPUTS gives its outputs, left to right ("1024x768" unless given).
function(ravelkin_sway_tests target label)
  cmake_parse_arguments(ARG "" "OUTPUTS;FILTER;PREFIX" "" ${ARGN})
  if(NOT ARG_OUTPUTS)
    set(ARG_OUTPUTS "1024x768")
  endif()
  if(NOT ARG_FILTER)
    set(ARG_FILTER *)
  endif()
  ravelkin_launched_tests(${target} ${label} ${PROJECT_SOURCE_DIR}/scripts/lib/with-sway
                          "RAVELKIN_TEST_SWAY=${ARG_OUTPUTS}" "${ARG_FILTER}" "${ARG_PREFIX}")
endfunction()
