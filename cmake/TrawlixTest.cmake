# trawlix_add_test(<name> SOURCES ... [LIBS ...] [LABELS ...] [TIMEOUT s])
# One GoogleTest executable per area, registered with ctest under its labels.
if(TRAWLIX_BUILD_TESTS)
    find_package(GTest REQUIRED)
endif()

function(trawlix_add_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    if(NOT TRAWLIX_BUILD_TESTS)
        return()
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} trawlix_testsupport GTest::gmock GTest::gtest GTest::gtest_main)
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT ${ARG_TIMEOUT})
endfunction()

# trawlix_add_fuzzer(<name> SOURCES ... [LIBS ...] CORPUS <dir>)
# A libFuzzer target; ctest runs it briefly over its seed corpus (label "fuzz").
function(trawlix_add_fuzzer name)
    cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;LIBS" ${ARGN})
    if(NOT TRAWLIX_FUZZ)
        return()
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    set(work ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
    # The last three words are the executable, its working corpus and the seeds: scripts/fuzz.sh
    # finds the targets through ctest and reads them from there.
    add_test(NAME ${name}
             COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
                     sh -c "mkdir -p \"$1\" && exec \"$0\" -max_total_time=\${TRAWLIX_FUZZ_SECONDS:-20} -rss_limit_mb=2048 -timeout=10 \"$1\" \"$2\""
                     $<TARGET_FILE:${name}> ${work} ${ARG_CORPUS})
    set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 600)
endfunction()

# trawlix_add_test_areas([EXCEPT name ...])
# Adds every sub-folder of the current folder that has a CMakeLists.txt, in name order.
function(trawlix_add_test_areas)
    cmake_parse_arguments(ARG "" "" "EXCEPT" ${ARGN})
    file(GLOB areas LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
    list(SORT areas)
    foreach(area IN LISTS areas)
        if(NOT area IN_LIST ARG_EXCEPT AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${area}/CMakeLists.txt)
            add_subdirectory(${area})
        endif()
    endforeach()
endfunction()
