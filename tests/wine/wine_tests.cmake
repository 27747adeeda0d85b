# netrevive.exe under Wine, driven by Python tests in tests/wine/ through
# wine_harness.WinePrefix. The tests share one throwaway prefix under the
# build folder (created on first use, which takes a while); one test at a
# time uses it. wine, wineserver and wineboot are taken from PATH; without
# them the tests fail. Whole repairs and their transcripts are the e2e
# scenarios' (e2e/e2e_tests.cmake).
set(NETREVIVE_WINE_PREFIX ${CMAKE_CURRENT_BINARY_DIR}/wine/prefix)

# netrevive_add_wine_script(NAME SCRIPT): a Python test in tests/wine/ that
# drives the prefix itself; it is called with --prefix PREFIX and the path of
# netrevive.exe.
function(netrevive_add_wine_script name script)
  add_test(NAME wine_${name}
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/wine/${script}
      --prefix ${NETREVIVE_WINE_PREFIX} $<TARGET_FILE:netrevive>)
  set_tests_properties(wine_${name} PROPERTIES TIMEOUT 300 RESOURCE_LOCK netrevive_wine_prefix)
endfunction()

# The Winsock2 key goes with its whole tree in Windows 98 mode, and a missing
# key is reported with status 2.
netrevive_add_wine_script(winsock2_tree_removal registry_tree_test.py)
