# GoogleTest from Debian's source package, built with the project's own flags (sanitizers natively, MinGW for Windows).
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

include(GoogleTest)

# morvane_add_test(<target> SOURCES ... [LIBRARIES ...] [WINE_DISPLAY])
# A GoogleTest executable. Natively each test case is its own CTest test; under Wine the whole
# executable is one CTest test that needs the Wine fixture (prefix, wineserver, Xvfb).
function(morvane_add_test target)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
    add_executable(${target} ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE GTest::gtest_main GTest::gmock ${ARG_LIBRARIES})
    if(WIN32)
        add_test(NAME ${target} COMMAND ${target})
        set_tests_properties(${target} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 120 SKIP_RETURN_CODE 77)
    else()
        # Every case has a time limit: one that loops must not hold up the run.
        gtest_discover_tests(${target} DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT 60)
    endif()
endfunction()

# morvane_add_wine_test(<name> COMMAND ...): any command run under Wine with the fixture. Exit
# code 77 means the build's programs cannot run on this machine (testing/wine/setup.sh).
function(morvane_add_wine_test name)
    add_test(NAME ${name} ${ARGN})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 120 SKIP_RETURN_CODE 77)
endfunction()
