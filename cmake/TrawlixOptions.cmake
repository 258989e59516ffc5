# Compiler settings shared by every target of the project.

set(TRAWLIX_WARNINGS -Wall -Wextra -Wpedantic)
if(TRAWLIX_WERROR)
    list(APPEND TRAWLIX_WARNINGS -Werror)
endif()

add_compile_options("$<$<COMPILE_LANGUAGE:CXX>:${TRAWLIX_WARNINGS}>")
add_compile_definitions($<$<CONFIG:Debug>:_GLIBCXX_ASSERTIONS>)

if(TRAWLIX_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
elseif(TRAWLIX_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(NOT TRAWLIX_SANITIZE STREQUAL "")
    message(FATAL_ERROR "TRAWLIX_SANITIZE must be empty, address or thread")
endif()

if(TRAWLIX_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "Fuzz targets need clang")
    endif()
    # Instrument everything for coverage; only the fuzz executables link the fuzzer's main.
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

find_package(Threads REQUIRED)

set(TRAWLIX_CORE_LIBS "" CACHE INTERNAL "")

# trawlix_core_library(<name> SOURCES ... [LIBS ...])
# A static part of the Qt-free core. Headers are included by their path from the source root
# ("support/text/token.h"), so each target publishes the root, not its own folder.
function(trawlix_core_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    if(NOT ARG_SOURCES)
        # A part whose code has not been written yet: headers only.
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
        target_link_libraries(${name} INTERFACE ${ARG_LIBS} Threads::Threads)
    else()
        add_library(${name} STATIC ${ARG_SOURCES})
        target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
        target_link_libraries(${name} PUBLIC ${ARG_LIBS} Threads::Threads)
        set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
    endif()
    set(TRAWLIX_CORE_LIBS ${TRAWLIX_CORE_LIBS} ${name} CACHE INTERNAL "")
endfunction()
