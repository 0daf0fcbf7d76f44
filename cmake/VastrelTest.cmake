# vastrel_add_test(<name> SOURCES <files...> [LIBS <targets...>] [TIMEOUT <seconds>])
#
# Registers a GoogleTest executable with CTest. Every test case runs in its own process, headless
# (offscreen platform), in the Russian locale, with a fresh VASTREL_HOME made by the test main.
function(vastrel_add_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE vastrel_testmain ${ARG_LIBS})
    target_compile_definitions(${name} PRIVATE VASTREL_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/tests/data")
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        PROPERTIES
            TIMEOUT ${ARG_TIMEOUT}
            ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=ru_RU.UTF-8;LC_ALL=ru_RU.UTF-8;VASTREL_TEST=1")
endfunction()
