# netrevive.exe under Wine: each test runs the program once on a console and
# compares what it printed, with a mark at each key it waited for, with a
# transcript in tests/wine/expected/. The tests share one throwaway prefix
# under the build folder (created on first use, which takes a while); the
# harness lets one test at a time use it and stops Wine after each. wine,
# wineserver and wineboot are taken from PATH; without them the tests fail.
set(NETREVIVE_WINE_PREFIX ${CMAKE_CURRENT_BINARY_DIR}/wine/prefix)
set(NETREVIVE_WINE_HARNESS ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/wine/wine_harness.py)

# netrevive_add_wine_test(NAME VERSION EXPECTED [ARGS...]): runs netrevive.exe
# with ARGS while Wine reports the Windows VERSION (win98, winme, winxp, ...)
# and expects tests/wine/expected/EXPECTED.
function(netrevive_add_wine_test name version expected)
  add_test(NAME wine_${name}
    COMMAND ${NETREVIVE_WINE_HARNESS} --prefix ${NETREVIVE_WINE_PREFIX} --windows-version ${version}
      --expected ${PROJECT_SOURCE_DIR}/tests/wine/expected/${expected}.txt
      -- $<TARGET_FILE:netrevive> ${ARGN})
  set_tests_properties(wine_${name} PROPERTIES TIMEOUT 300 RESOURCE_LOCK netrevive_wine_prefix)
endfunction()

# The banner and the usage text for a command line that names no mode.
netrevive_add_wine_test(usage_unknown_word win98 usage Fix)
netrevive_add_wine_test(usage_lower_case_mode win98 usage reinstalldun)
netrevive_add_wine_test(usage_two_arguments win98 usage ReinstallDUN ReinstallDUN)
# A fresh run on the NT family is refused after the banner.
netrevive_add_wine_test(nt_refusal winxp nt_refusal)

# netrevive_add_wine_script(NAME SCRIPT): a Python test in tests/wine/ that
# drives the prefix itself through wine_harness.WinePrefix; it is called with
# --prefix PREFIX and the path of netrevive.exe.
function(netrevive_add_wine_script name script)
  add_test(NAME wine_${name}
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/wine/${script}
      --prefix ${NETREVIVE_WINE_PREFIX} $<TARGET_FILE:netrevive>)
  set_tests_properties(wine_${name} PROPERTIES TIMEOUT 300 RESOURCE_LOCK netrevive_wine_prefix)
endfunction()

# The Winsock2 key goes with its whole tree in Windows 98 mode, and a missing
# key is reported with status 2.
netrevive_add_wine_script(winsock2_tree_removal registry_tree_test.py)
