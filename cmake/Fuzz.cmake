# The libFuzzer targets (tests/fuzz/fuzz_*.cpp) of the sanitizer build. Each is also a test: a short run of a
# fixed number of inputs from its seed corpus (tests/fuzz/corpus/<name>), with a fixed random seed.
set(SETUP_FUZZ_TEST_RUNS 3000 CACHE STRING "Inputs run by each fuzz target's test")
file(GLOB SETUP_FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz_*.cpp)
foreach(fuzz_source ${SETUP_FUZZ_SOURCES})
    get_filename_component(fuzz_name ${fuzz_source} NAME_WE)
    add_executable(${fuzz_name} ${fuzz_source})
    target_include_directories(${fuzz_name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/unit ${CMAKE_SOURCE_DIR}/tests/fuzz)
    target_link_libraries(${fuzz_name} PRIVATE setupcore)
    target_compile_options(${fuzz_name} PRIVATE -Wall -Wextra)
    target_link_options(${fuzz_name} PRIVATE -fsanitize=fuzzer)
    add_test(NAME ${fuzz_name}
             COMMAND ${CMAKE_SOURCE_DIR}/tests/fuzz/run-fuzz.sh $<TARGET_FILE:${fuzz_name}> ${SETUP_FUZZ_TEST_RUNS})
endforeach()
