# Test code is quick to compile: in the Windows release builds, the tests, GoogleTest and the stand-in
# are compiled with little optimisation (the product's libraries that tests link keep their own); the
# optimiser was a third of a test source's compile time.
if(WIN32)
    set(morvane_test_optimisation -Og)
endif()

# GoogleTest from Debian's source package, built with the project's own flags (sanitizers natively, MinGW for Windows).
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
foreach(library gtest gtest_main gmock gmock_main)
    target_compile_options(${library} PRIVATE ${morvane_test_optimisation})
endforeach()

include(GoogleTest)

# GoogleTest's and GoogleMock's headers, another third of a test source's compile time, are
# precompiled once for every test program. The compiler takes a precompiled header only where it is
# compiled as it was made: both take their settings from test_settings.
add_library(test_settings INTERFACE)
target_link_libraries(test_settings INTERFACE GTest::gtest GTest::gmock)
target_compile_options(test_settings INTERFACE ${morvane_test_optimisation})
file(WRITE ${CMAKE_BINARY_DIR}/test_headers.cpp "")
add_library(test_headers STATIC ${CMAKE_BINARY_DIR}/test_headers.cpp)
target_link_libraries(test_headers PRIVATE test_settings)
target_precompile_headers(test_headers PRIVATE <gtest/gtest.h> <gmock/gmock.h>)

# morvane_test_code(<target>): the target is a test program built with GoogleTest and GoogleMock.
function(morvane_test_code target)
    target_link_libraries(${target} PRIVATE test_settings)
    target_precompile_headers(${target} REUSE_FROM test_headers)
endfunction()

# Under Wine the tests run in two slots side by side. Each slot has a prefix, a wineserver and an
# Xvfb display of its own (testing/wine/env.sh), made by the slot's fixture (testing/CMakeLists.txt),
# so nothing one slot's tests do (the stand-in's registrations and running object table, the
# foreground window, the system DPI) reaches the other's. Within a slot, the tests that use any of
# that hold the slot's lock; tests that share nothing (SHARES_NOTHING) run beside them.
set(MORVANE_WINE_SLOTS 1 2)

# morvane_wine_properties(<test> [SLOT <n>] [SHARES_NOTHING] [TIMEOUT <seconds>]): the test runs
# under Wine in the slot (1 by default), for at most the time (120 s by default). Exit code 77 means
# the build's programs cannot run on this machine (testing/wine/setup.sh).
function(morvane_wine_properties test)
    cmake_parse_arguments(ARG "SHARES_NOTHING" "SLOT;TIMEOUT" "" ${ARGN})
    if(NOT ARG_SLOT)
        set(ARG_SLOT 1)
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    set_tests_properties(${test} PROPERTIES FIXTURES_REQUIRED wine${ARG_SLOT} ENVIRONMENT MORVANE_WINE_SLOT=${ARG_SLOT}
                         TIMEOUT ${ARG_TIMEOUT} SKIP_RETURN_CODE 77)
    if(NOT ARG_SHARES_NOTHING)
        set_tests_properties(${test} PROPERTIES RESOURCE_LOCK wine${ARG_SLOT})
    endif()
endfunction()

# morvane_add_test(<target> SOURCES ... [LIBRARIES ...] [WINE ...])
# A GoogleTest executable. Natively each test case is its own CTest test; under Wine the whole
# executable is one CTest test, with morvane_wine_properties' options after WINE.
function(morvane_add_test target)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES;WINE" ${ARGN})
    add_executable(${target} ${ARG_SOURCES})
    morvane_test_code(${target})
    target_link_libraries(${target} PRIVATE GTest::gtest_main ${ARG_LIBRARIES})
    if(WIN32)
        add_test(NAME ${target} COMMAND ${target})
        morvane_wine_properties(${target} ${ARG_WINE})
    else()
        # Every case has a time limit: one that loops must not hold up the run.
        gtest_discover_tests(${target} DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT 60)
    endif()
endfunction()

# morvane_add_wine_test(<name> COMMAND ... [WINE ...]): any command run under Wine, with
# morvane_wine_properties' options after WINE.
function(morvane_add_wine_test name)
    cmake_parse_arguments(ARG "" "" "WINE" ${ARGN})
    add_test(NAME ${name} ${ARG_UNPARSED_ARGUMENTS})
    morvane_wine_properties(${name} ${ARG_WINE})
endfunction()
