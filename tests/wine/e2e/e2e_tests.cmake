# netrevive.exe end to end under Wine: whole repairs across restarts, with
# stand-ins of the project's own for Windows' setup programs.
#
# The stand-ins and the session player run only under Wine, never on a
# Windows 98 PC, so they are ordinary MinGW programs (linked statically, so
# that no MinGW DLL has to be carried into the prefix). Each scenario is one
# test with its own Wine prefix, copied from one template prefix that the
# fixture test e2e_prefix_template prepares (wineboot takes a while; the
# copies are hard links and take milliseconds).

set(NETREVIVE_E2E_DIR ${CMAKE_CURRENT_BINARY_DIR}/wine-e2e)
set(NETREVIVE_STANDIN_DIR ${NETREVIVE_E2E_DIR}/standins)
set(NETREVIVE_STANDIN_SOURCES ${PROJECT_SOURCE_DIR}/tests/wine/standins)

add_library(netrevive_standin_state STATIC ${NETREVIVE_STANDIN_SOURCES}/machine_state.cc)
target_compile_options(netrevive_standin_state PRIVATE ${NETREVIVE_WARNINGS})

# netrevive_add_standin(TARGET OUTPUT_NAME SOURCE [DEFINITIONS...])
function(netrevive_add_standin target output source)
  add_executable(${target} ${NETREVIVE_STANDIN_SOURCES}/${source})
  target_compile_definitions(${target} PRIVATE ${ARGN})
  target_compile_options(${target} PRIVATE ${NETREVIVE_WARNINGS})
  target_include_directories(${target} PRIVATE ${NETREVIVE_STANDIN_SOURCES})
  target_link_options(${target} PRIVATE -static -s)
  target_link_libraries(${target} PRIVATE netrevive_standin_state advapi32 kernel32)
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME ${output} RUNTIME_OUTPUT_DIRECTORY ${NETREVIVE_STANDIN_DIR})
endfunction()

netrevive_add_standin(netrevive_standin_rundll32 rundll32 standin.cc STANDIN_PROGRAM="rundll32")
netrevive_add_standin(netrevive_standin_rundll rundll standin.cc STANDIN_PROGRAM="rundll")
netrevive_add_standin(netrevive_standin_dunsetup dunsetup standin.cc STANDIN_PROGRAM="dunsetup")
netrevive_add_standin(netrevive_session session session.cc)

# WS2_32.DLL, which Wine is told to take from the program's folder rather
# than its own (see ws2_32.cc). Its exports keep their plain names.
add_library(netrevive_standin_ws2_32 SHARED ${NETREVIVE_STANDIN_SOURCES}/ws2_32.cc)
target_compile_options(netrevive_standin_ws2_32 PRIVATE ${NETREVIVE_WARNINGS})
target_include_directories(netrevive_standin_ws2_32 PRIVATE ${NETREVIVE_STANDIN_SOURCES}
  ${PROJECT_SOURCE_DIR}/src)
target_link_options(netrevive_standin_ws2_32 PRIVATE -static -s -Wl,--kill-at)
target_link_libraries(netrevive_standin_ws2_32 PRIVATE netrevive_standin_state advapi32 kernel32)
set_target_properties(netrevive_standin_ws2_32 PROPERTIES
  OUTPUT_NAME ws2_32 PREFIX "" SUFFIX ".dll" RUNTIME_OUTPUT_DIRECTORY ${NETREVIVE_STANDIN_DIR})

set(NETREVIVE_E2E_HARNESS ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/wine/e2e/e2e_harness.py
  --work ${NETREVIVE_E2E_DIR} --standins ${NETREVIVE_STANDIN_DIR} --exe $<TARGET_FILE:netrevive>)

add_test(NAME e2e_prefix_template COMMAND ${NETREVIVE_E2E_HARNESS} --template-only)
set_tests_properties(e2e_prefix_template PROPERTIES TIMEOUT 600 FIXTURES_SETUP netrevive_e2e_prefix)

# One test per scenario of e2e_harness.py, as its --names lists them (read
# again whenever the harness changes).
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/tests/wine/e2e/e2e_harness.py)
execute_process(
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/wine/e2e/e2e_harness.py --names
  OUTPUT_VARIABLE NETREVIVE_E2E_SCENARIOS RESULT_VARIABLE NETREVIVE_E2E_LISTED
  OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT NETREVIVE_E2E_LISTED EQUAL 0 OR NETREVIVE_E2E_SCENARIOS STREQUAL "")
  message(FATAL_ERROR "e2e_harness.py --names gave no scenarios")
endif()
string(REPLACE "\n" ";" NETREVIVE_E2E_SCENARIOS "${NETREVIVE_E2E_SCENARIOS}")
foreach(scenario ${NETREVIVE_E2E_SCENARIOS})
  add_test(NAME e2e_${scenario} COMMAND ${NETREVIVE_E2E_HARNESS} ${scenario})
  set_tests_properties(e2e_${scenario} PROPERTIES
    TIMEOUT 300 FIXTURES_REQUIRED netrevive_e2e_prefix)
endforeach()
