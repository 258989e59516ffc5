# trawlix_embed_version_info(<target>
#     [FILE_DESCRIPTION text] [FILE_VERSION a.b.c.d] [PRODUCT_NAME text] [PRODUCT_VERSION a.b.c.d]
#     [COMPANY_NAME text] [LEGAL_COPYRIGHT text] [ORIGINAL_FILENAME name] [INTERNAL_NAME name]
#     [COMMENTS text] [LANGUAGE id] [CODE_PAGE id])
#
# Gives <target> the version block a Windows program carries as its version resource
# (VS_VERSIONINFO: fixed file information, one string table, the translation table), compiled
# into the ELF section ".trawlix_version", where CJVersionInfo finds it in the program's own file.
# Texts are UTF-8 and are stored as UTF-16. Defaults: the project's name as description and
# product, its version as file and product version, the target's file name as original file
# name, Orvanta GmbH as company with its copyright notice, US English (0x0409) with the Unicode
# code page 1200 (0x04B0). The block is generated at build time by TrawlixVersionInfoBlock.cmake
# (CMake script mode, no other tool). Call it on the executable itself: the block's object file
# is one of the target's own sources, so no static-library selection can leave it out.

set(TRAWLIX_VERSION_INFO_GENERATOR ${CMAKE_CURRENT_LIST_DIR}/TrawlixVersionInfoBlock.cmake)

function(trawlix_embed_version_info target)
    set(texts FILE_DESCRIPTION FILE_VERSION PRODUCT_NAME PRODUCT_VERSION COMPANY_NAME LEGAL_COPYRIGHT
              ORIGINAL_FILENAME INTERNAL_NAME COMMENTS LANGUAGE CODE_PAGE)
    cmake_parse_arguments(PARSE_ARGV 1 ARG "" "${texts}" "")
    if(ARG_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "trawlix_embed_version_info: unknown arguments ${ARG_UNPARSED_ARGUMENTS}")
    endif()
    if(NOT DEFINED ARG_FILE_DESCRIPTION)
        set(ARG_FILE_DESCRIPTION "${PROJECT_NAME}")
    endif()
    if(NOT DEFINED ARG_FILE_VERSION)
        set(ARG_FILE_VERSION "${PROJECT_VERSION}")
    endif()
    if(NOT DEFINED ARG_PRODUCT_NAME)
        set(ARG_PRODUCT_NAME "${PROJECT_NAME}")
    endif()
    if(NOT DEFINED ARG_PRODUCT_VERSION)
        set(ARG_PRODUCT_VERSION "${ARG_FILE_VERSION}")
    endif()
    if(NOT DEFINED ARG_COMPANY_NAME)
        set(ARG_COMPANY_NAME "Orvanta GmbH")
    endif()
    if(NOT DEFINED ARG_LEGAL_COPYRIGHT)
        set(ARG_LEGAL_COPYRIGHT "Copyright (C) Orvanta GmbH")
    endif()
    if(NOT DEFINED ARG_ORIGINAL_FILENAME)
        set(ARG_ORIGINAL_FILENAME "$<TARGET_FILE_NAME:${target}>")
    endif()
    if(NOT DEFINED ARG_LANGUAGE)
        set(ARG_LANGUAGE 0x0409)
    endif()
    if(NOT DEFINED ARG_CODE_PAGE)
        set(ARG_CODE_PAGE 0x04B0)
    endif()

    # The values travel to the build step in a generated file, so that any text (blanks,
    # semicolons, quotes) and the target's file name arrive unchanged.
    set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}_version_info)
    set(content "")
    foreach(name IN LISTS texts)
        if(DEFINED ARG_${name})
            string(APPEND content "set(${name} [==[${ARG_${name}}]==])\n")
        endif()
    endforeach()
    file(GENERATE OUTPUT ${dir}/values.cmake CONTENT "${content}")

    add_custom_command(
        OUTPUT ${dir}/version_info.cpp
        COMMAND ${CMAKE_COMMAND} -DVALUES=${dir}/values.cmake -DOUTPUT=${dir}/version_info.cpp
                -P ${TRAWLIX_VERSION_INFO_GENERATOR}
        DEPENDS ${dir}/values.cmake ${TRAWLIX_VERSION_INFO_GENERATOR}
        COMMENT "Generating the version block of ${target}"
        VERBATIM)
    target_sources(${target} PRIVATE ${dir}/version_info.cpp)
endfunction()
