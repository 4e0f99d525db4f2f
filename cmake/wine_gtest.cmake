# GoogleTest built with the cross compiler from the sources Debian's libgtest-dev installs, for
# test programs that run under Wine: the in-process window tests and the Win32 services tests.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# varnel_wine_gtest(TARGET SOURCES... LIBRARIES...): a GoogleTest program for Wine, static like
# the program, written to build/<preset>/tests/.
function(varnel_wine_gtest target)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
    add_executable(${target} ${ARG_SOURCES})
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/tests/unit)
    target_link_libraries(${target} PRIVATE ${ARG_LIBRARIES} varnel_warnings gtest gtest_main)
    if(MINGW)
        target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
    endif()
endfunction()

# varnel_wine_test(NAME TARGET [FILTER pattern] [SERVICE scenario]): one ctest test that runs the
# GoogleTest program under Wine in the e2e session (prefix, display), with the stand-in version
# service answering as tests/e2e/scenarios/<scenario>.* say when a scenario is named.
function(varnel_wine_test name target)
    cmake_parse_arguments(ARG "" "FILTER;SERVICE" "" ${ARGN})
    set(filter "*")
    if(ARG_FILTER)
        set(filter ${ARG_FILTER})
    endif()
    add_test(NAME ${name}
             COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/session.sh gtest ${CMAKE_BINARY_DIR}
                     ${target} ${filter} ${ARG_SERVICE})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine_session RUN_SERIAL TRUE
                         LABELS wine TIMEOUT 300)
endfunction()
