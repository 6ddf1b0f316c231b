# The Windows test programs, run by CTest under Wine (tools/wine-run.sh) in a
# private prefix that the first test of a run makes afresh (about 14 s; each
# program start costs 0.5-0.8 s after that). So each test program is one
# CTest test, or a few when gtest filters split it into groups; never one
# start per test case.
set(QOR_WINE_DIR ${CMAKE_BINARY_DIR}/wine)
set(QOR_WINE_RUN ${PROJECT_SOURCE_DIR}/tools/wine-run.sh --wine-dir ${QOR_WINE_DIR})
# add_test(COMMAND <target>) and custom commands run the targets under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${QOR_WINE_RUN})

add_test(NAME wine.prefix COMMAND ${QOR_WINE_RUN} --create)
set_tests_properties(wine.prefix PROPERTIES FIXTURES_SETUP wine TIMEOUT 300 LABELS wine)
add_test(NAME wine.stop COMMAND ${QOR_WINE_RUN} --stop)
set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine LABELS wine)

# qor_add_wine_test(<name> <target> [SERVERS] [XVFB] [ARGS ...] [ENVIRONMENT ...]
#                   [LABELS ...] [TIMEOUT seconds])
# One CTest test that runs <target> under Wine with ARGS (a gtest filter, say).
# SERVERS: the program may ask for tools/update_server.py and
# tools/ftp_server.py (tests/wine/support/test_server.hpp). XVFB: on a
# private virtual display, for programs that show windows.
function(qor_add_wine_test name target)
  cmake_parse_arguments(arg "SERVERS;XVFB" "TIMEOUT" "ARGS;ENVIRONMENT;LABELS" ${ARGN})
  set(command ${QOR_WINE_RUN} $<TARGET_FILE:${target}> ${arg_ARGS})
  if(arg_XVFB)
    list(PREPEND command xvfb-run -a -s "-screen 0 1280x1024x24")
  endif()
  if(arg_SERVERS)
    list(PREPEND command ${QOR_PYTHON} ${PROJECT_SOURCE_DIR}/tools/wine_test_servers.py --wine-dir ${QOR_WINE_DIR} --)
  endif()
  if(NOT arg_TIMEOUT)
    set(arg_TIMEOUT 120)
  endif()
  add_test(NAME ${name} COMMAND ${command})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT ${arg_TIMEOUT}
                       ENVIRONMENT "${arg_ENVIRONMENT}" LABELS "wine;${arg_LABELS}")
endfunction()

# Real PE images, for the version reader on Windows and the system's view of them.
include(${PROJECT_SOURCE_DIR}/cmake/pe_fixtures.cmake)
find_program(QOR_MINGW_LD x86_64-w64-mingw32-ld REQUIRED)
set(QOR_PE_FIXTURE_DIR ${CMAKE_CURRENT_BINARY_DIR}/pe_fixtures)
qor_pe_fixtures(pe_fixtures ${QOR_PE_FIXTURE_DIR} CXX ${CMAKE_CXX_COMPILER} WINDRES ${CMAKE_RC_COMPILER}
                LD ${QOR_MINGW_LD} PYTHON ${QOR_PYTHON})
