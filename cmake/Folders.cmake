# Helpers that turn a source folder into its library, its test program and its fuzz targets.
# Sources are globbed so that a new file needs no edit here.

set(EPC_ROOT ${CMAKE_SOURCE_DIR})

# One static library for a folder of sources. A folder with no sources yet is an interface
# library carrying its dependencies, so the layers above it can already link it.
function(epc_folder_library name dir)
    file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${EPC_ROOT}/${dir}/*.cpp)
    if(srcs)
        add_library(${name} STATIC ${srcs})
        target_include_directories(${name} PUBLIC ${EPC_ROOT})
        target_link_libraries(${name} PUBLIC ${ARGN})
    else()
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${EPC_ROOT})
        target_link_libraries(${name} INTERFACE ${ARGN})
    endif()
endfunction()

# A GoogleTest program made of every test source of a folder, run by CTest as one test.
function(epc_test_program name dir)
    file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${EPC_ROOT}/${dir}/*.cpp)
    list(FILTER srcs EXCLUDE REGEX "/fuzz/")
    if(NOT srcs)
        return()
    endif()
    add_executable(${name} ${srcs})
    target_link_libraries(${name} PRIVATE ${ARGN} GTest::gtest GTest::gmock
                          GTest::gtest_main)
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT
        "EPC_TEST_DATA=${EPC_ROOT}/tests/data;EPC_TEST_OUT=${CMAKE_BINARY_DIR}/test-out")
endfunction()

# A fuzz target: a source defining LLVMFuzzerTestOneInput, linked with our own driver that
# mutates seed inputs for a bounded number of runs. CTest runs it under the sanitizers, where
# the driver's limits hold: 20 s per input, no single allocation above 256 MB. Seeds and kept
# inputs that once failed live in tests/data/fuzz/<name>.
function(epc_fuzz_target name source)
    add_executable(${name} ${source} ${EPC_ROOT}/tests/fuzz/FuzzDriver.cpp)
    target_link_libraries(${name} PRIVATE ${ARGN})
    set(seeds ${EPC_ROOT}/tests/data/fuzz/${name})
    add_test(NAME ${name} COMMAND ${name} --runs=20000 --max-seconds=60 --timeout=20 ${seeds})
    set_tests_properties(${name} PROPERTIES LABELS fuzz)
endfunction()
