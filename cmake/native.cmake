# Native (Linux) build: the core, the simulated machine, netrevive-sim and the
# tests; with NETREVIVE_FUZZ the core, the simulated machine and the fuzz
# targets only, instrumented for libFuzzer.
if(NETREVIVE_SANITIZE OR NETREVIVE_FUZZ)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
if(NETREVIVE_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

file(GLOB NETREVIVE_SIM_SOURCES CONFIGURE_DEPENDS src/platform/simulated_pc/*.cc)
list(FILTER NETREVIVE_SIM_SOURCES EXCLUDE REGEX "_test\\.cc$")
add_library(netrevive_simulated_pc STATIC ${NETREVIVE_SIM_SOURCES})
target_include_directories(netrevive_simulated_pc PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_options(netrevive_simulated_pc PRIVATE ${NETREVIVE_WARNINGS})
target_link_libraries(netrevive_simulated_pc PUBLIC netrevive_core)

# netrevive-sim's own business (options, sessions, the machine folder,
# REGEDIT4 files, the endings, the support guide, the prediction from a
# registry export), in a library its entry point, the tests and the fuzz
# targets link.
file(GLOB NETREVIVE_SIM_PROGRAM_SOURCES CONFIGURE_DEPENDS src/rehearsal/*.cc src/support_kit/*.cc)
list(FILTER NETREVIVE_SIM_PROGRAM_SOURCES EXCLUDE REGEX "_test\\.cc$|/main\\.cc$")
add_library(netrevive_rehearsal STATIC ${NETREVIVE_SIM_PROGRAM_SOURCES})
target_compile_options(netrevive_rehearsal PRIVATE ${NETREVIVE_WARNINGS})
target_link_libraries(netrevive_rehearsal PUBLIC netrevive_simulated_pc)
# The registry restore procedure, written once for README.TXT and the guide.
set(NETREVIVE_RESTORE_FILE ${PROJECT_SOURCE_DIR}/release/restore-procedure.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${NETREVIVE_RESTORE_FILE})
file(READ ${NETREVIVE_RESTORE_FILE} NETREVIVE_RESTORE_PROCEDURE)
file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/generated/restore_procedure_text.inc
  CONTENT "R\"procedure(@NETREVIVE_RESTORE_PROCEDURE@)procedure\"\n" @ONLY)
target_include_directories(netrevive_rehearsal PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/generated)

if(NETREVIVE_FUZZ)
  # One libFuzzer executable per tests/fuzz/*_fuzz.cc; tests/fuzz/run builds
  # and runs them.
  file(GLOB NETREVIVE_FUZZ_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/fuzz/*_fuzz.cc)
  foreach(source ${NETREVIVE_FUZZ_SOURCES})
    get_filename_component(target ${source} NAME_WE)
    add_executable(${target} ${source})
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_compile_options(${target} PRIVATE ${NETREVIVE_WARNINGS})
    target_compile_definitions(${target} PRIVATE NETREVIVE_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    target_link_options(${target} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${target} PRIVATE netrevive_rehearsal)
  endforeach()
  return()
endif()

add_executable(netrevive-sim src/rehearsal/main.cc)
target_compile_options(netrevive-sim PRIVATE ${NETREVIVE_WARNINGS})
target_link_libraries(netrevive-sim PRIVATE netrevive_rehearsal)

enable_testing()
find_package(GTest REQUIRED)
include(GoogleTest)

file(GLOB_RECURSE NETREVIVE_TEST_SOURCES CONFIGURE_DEPENDS
  tests/unit/*.cc tests/scenario/*.cc tests/sim/*.cc tests/reliability/*.cc)
add_executable(netrevive_tests ${NETREVIVE_TEST_SOURCES})
target_include_directories(netrevive_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_compile_options(netrevive_tests PRIVATE ${NETREVIVE_WARNINGS})
target_compile_definitions(netrevive_tests PRIVATE
  NETREVIVE_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  NETREVIVE_SIM_BINARY="$<TARGET_FILE:netrevive-sim>")
target_link_libraries(netrevive_tests PRIVATE netrevive_rehearsal GTest::gtest GTest::gtest_main)
add_dependencies(netrevive_tests netrevive-sim)
gtest_discover_tests(netrevive_tests DISCOVERY_TIMEOUT 60)

# Source-tree checks that do not depend on the build.
add_test(NAME layering_check
  COMMAND ${PROJECT_SOURCE_DIR}/tests/checks/layering.sh ${PROJECT_SOURCE_DIR})
add_test(NAME layering_check_finds_faults
  COMMAND ${PROJECT_SOURCE_DIR}/tests/checks/layering.sh --self-test)
add_test(NAME install_deps_survives_the_mirror
  COMMAND ${PROJECT_SOURCE_DIR}/tests/checks/install_deps_test.sh ${PROJECT_SOURCE_DIR})

# The guide's HTML page, opened and searched in a real browser.
find_program(NETREVIVE_CHROMIUM chromium)
if(NETREVIVE_CHROMIUM)
  add_test(NAME support_guide_in_browser
    COMMAND ${PROJECT_SOURCE_DIR}/tests/checks/guide_browser.py ${NETREVIVE_CHROMIUM}
            ${PROJECT_SOURCE_DIR}/docs/support-guide.html)
  set_tests_properties(support_guide_in_browser PROPERTIES TIMEOUT 600)
  # Printed to A4 with its own print stylesheet, it stays short enough to use.
  add_test(NAME support_guide_pages
    COMMAND ${PROJECT_SOURCE_DIR}/tests/checks/guide_pages.py ${NETREVIVE_CHROMIUM}
            ${PROJECT_SOURCE_DIR}/docs/support-guide.html)
  set_tests_properties(support_guide_pages PROPERTIES TIMEOUT 300)
else()
  add_test(NAME support_guide_in_browser
    COMMAND ${CMAKE_COMMAND} -E echo "chromium is missing: run scripts/install-deps")
  set_tests_properties(support_guide_in_browser PROPERTIES WILL_FAIL TRUE)
endif()

# The checked-in support guide is what netrevive-sim writes today.
add_test(NAME support_guide_current
  COMMAND ${PROJECT_SOURCE_DIR}/tests/checks/guide_current.sh ${PROJECT_SOURCE_DIR}
          $<TARGET_FILE:netrevive-sim>)
