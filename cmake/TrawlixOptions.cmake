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

# Headers are included by their path from the source root ("support/text/token.h"). This one
# target carries that include directory; every library links it instead of publishing a folder.
# Which folder may include which is the layer check's business (cmake/layer_check.cmake).
add_library(trawlix_source_root INTERFACE)
target_include_directories(trawlix_source_root INTERFACE ${PROJECT_SOURCE_DIR})

# trawlix_core_library(<name> SOURCES ... [PUBLIC lib ...] [PRIVATE lib ...])
# A static part of the Qt-free core. PUBLIC: what its headers include; PRIVATE: what only its
# sources use.
function(trawlix_core_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC;PRIVATE" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_link_libraries(${name} PUBLIC trawlix_source_root ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE} Threads::Threads)
    set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
endfunction()
