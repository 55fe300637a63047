# SPDX-License-Identifier: GPL-3.0-or-later
# ravelkin_sway_tests(TARGET LABEL [OUTPUTS "WxH WxH..."] [FILTER gtest-filter] [PREFIX name]):
# each test of the program on a headless sway of its own, which scripts/lib/with-sway starts
# and stops; OUTPUTS gives its outputs, left to right ("1024x768" unless given).
function(ravelkin_sway_tests target label)
  cmake_parse_arguments(ARG "" "OUTPUTS;FILTER;PREFIX" "" ${ARGN})
  set_property(TARGET ${target} PROPERTY CROSSCOMPILING_EMULATOR
               ${PROJECT_SOURCE_DIR}/scripts/lib/with-sway)
  if(NOT ARG_OUTPUTS)
    set(ARG_OUTPUTS "1024x768")
  endif()
  if(NOT ARG_FILTER)
    set(ARG_FILTER *)
  endif()
  gtest_discover_tests(${target} TEST_PREFIX "${ARG_PREFIX}" TEST_FILTER "${ARG_FILTER}"
                       DISCOVERY_TIMEOUT 60
                       PROPERTIES LABELS ${label} TIMEOUT 120
                                  ENVIRONMENT "RAVELKIN_TEST_SWAY=${ARG_OUTPUTS}")
endfunction()
