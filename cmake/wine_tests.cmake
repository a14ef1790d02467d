# Test programs are Windows programs: CTest runs them under wine64 through
# scripts/wine-session, which owns this build's WINEPREFIX and Xvfb display.
# Two CTest fixtures frame every run: the Wine session and the HTTPS server of
# tests/fixture, both started on demand and stopped when the run ends.
set(WINE_SESSION "${CMAKE_SOURCE_DIR}/scripts/wine-session")
set(CMAKE_CROSSCOMPILING_EMULATOR "${WINE_SESSION};run;${CMAKE_BINARY_DIR}")
set(TEST_FIXTURE_DIR "${CMAKE_BINARY_DIR}/fixture")
find_program(PYTHON3 python3 REQUIRED)

add_test(NAME fixture.wine.start COMMAND "${WINE_SESSION}" start "${CMAKE_BINARY_DIR}" --owner-parent)
add_test(NAME fixture.wine.stop COMMAND "${WINE_SESSION}" stop "${CMAKE_BINARY_DIR}")
set_tests_properties(fixture.wine.start PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
set_tests_properties(fixture.wine.stop PROPERTIES FIXTURES_CLEANUP wine)

set(HTTPS_FIXTURE "${CMAKE_SOURCE_DIR}/tests/fixture/https_fixture.py")
add_test(NAME fixture.https.start
         COMMAND "${PYTHON3}" "${HTTPS_FIXTURE}" start --dir "${TEST_FIXTURE_DIR}" --owner-parent)
add_test(NAME fixture.https.stop COMMAND "${PYTHON3}" "${HTTPS_FIXTURE}" stop --dir "${TEST_FIXTURE_DIR}")
set_tests_properties(fixture.https.start PROPERTIES FIXTURES_SETUP https TIMEOUT 120)
set_tests_properties(fixture.https.stop PROPERTIES FIXTURES_CLEANUP https)

# installer_add_test(<name> SOURCES ... [LIBS ...] [TIMEOUT s])
# One Windows test program built with GoogleTest, one CTest entry.
function(installer_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE test_support ${T_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED "wine;https" TIMEOUT ${T_TIMEOUT})
endfunction()
