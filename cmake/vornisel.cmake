# vornisel_library(NAME DIR [QT] [DEPS ...]): a static library of every .cpp in src/DIR.
# Files are globbed so that a new source file needs no edit here.
function(vornisel_library name dir)
    cmake_parse_arguments(ARG "QT" "" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/src/${dir}/*.cpp")
    if(NOT sources)
        # A layer with headers only so far.
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE "${CMAKE_SOURCE_DIR}/src")
        target_link_libraries(${name} INTERFACE ${ARG_DEPS})
        return()
    endif()
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC "${CMAKE_SOURCE_DIR}/src")
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    if(ARG_QT)
        set_target_properties(${name} PROPERTIES AUTOMOC ON)
    endif()
endfunction()

# vornisel_test(NAME DIR DEPS ... [QT]): one GoogleTest binary for every *_test.cpp in tests/DIR.
# Each test case becomes a CTest test with a timeout; widget tests run on the offscreen platform.
function(vornisel_test name dir)
    cmake_parse_arguments(ARG "QT" "TIMEOUT" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/tests/${dir}/*.cpp")
    if(NOT sources)
        return()
    endif()
    add_executable(${name} ${sources})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} vornisel_test_support)
    if(ARG_QT)
        set_target_properties(${name} PROPERTIES AUTOMOC ON)
        target_link_libraries(${name} PRIVATE vornisel_test_main_qt)
    else()
        target_link_libraries(${name} PRIVATE vornisel_test_main)
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 60)
    endif()
    # One variable only: test discovery splits a list here into property names, so the
    # sanitizers' options come from the environment ctest runs in (scripts/test sets them).
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        PROPERTIES TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# vornisel_bench(NAME FILE DEPS ...): a benchmark program; it prints its figures and never fails.
function(vornisel_bench name file)
    add_executable(${name} "${CMAKE_SOURCE_DIR}/bench/${file}")
    target_link_libraries(${name} PRIVATE ${ARGN})
    target_compile_definitions(${name} PRIVATE VORNISEL_BUNDLE_DIR="${VORNISEL_BUNDLE_DIR}")
endfunction()

# vornisel_layers(TARGET RULE ...): each RULE is "dir=allowed,allowed": files under src/dir may
# include project headers only from dir itself and the folders allowed. Checked by the build on
# every change to a source file; `TARGET` and everything that links it wait for the check.
function(vornisel_layers target)
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/src/*.cpp" "${CMAKE_SOURCE_DIR}/src/*.h")
    set(stamp "${CMAKE_BINARY_DIR}/layers.stamp")
    string(REPLACE ";" "|" rules "${ARGN}")
    add_custom_command(OUTPUT "${stamp}"
        COMMAND "${CMAKE_COMMAND}" "-DROOT=${CMAKE_SOURCE_DIR}/src" "-DRULES=${rules}"
                "-DSTAMP=${stamp}" -P "${CMAKE_SOURCE_DIR}/cmake/check_layers.cmake"
        DEPENDS ${sources} "${CMAKE_SOURCE_DIR}/cmake/check_layers.cmake"
        COMMENT "Checking the layers' includes" VERBATIM)
    add_custom_target(vornisel_layer_check DEPENDS "${stamp}")
    add_dependencies(${target} vornisel_layer_check)
endfunction()
