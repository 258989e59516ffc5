# Turns the per-language text files into C++ tables, and the texts' names into a header of ids.
# Script mode:
#   cmake -DENGLISH=en.txt -DGERMAN=de.txt -DOUTPUT=string_table_data.cpp [-DHEADER=text_id.h]
#         -P string_table.cmake
# Each text file holds "id<TAB>Name<TAB>text" lines, or "id<TAB>text" for a text without a name
# (a text holds no raw tab, so the two forms never mix up); '#' lines and empty lines are remarks.
# A name is a word of letters and digits that starts with a capital letter; it becomes
# trawlix::TextId::Name in the header. The escapes \n, \t, \" and \\ are the same in the files
# as in C++ literals, so texts are copied as they stand once they are known to hold nothing else.
# Both files must hold the same ids with the same names.

cmake_minimum_required(VERSION 3.25)

foreach(var ENGLISH GERMAN OUTPUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "string_table.cmake: ${var} is not set")
    endif()
endforeach()

# CMake lists split at ';' and treat brackets and backslashes specially; such characters travel
# as control characters while the file is cut into lines, which a text file must not hold itself.
string(ASCII 1 kSemicolon)
string(ASCII 2 kOpenBracket)
string(ASCII 3 kCloseBracket)
string(ASCII 4 kBackslash)
string(ASCII 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 30 31 127 kOtherControls)

# Reads `file` into `out_ids` (ids in file order), `out_entries` (C++ initialiser lines) and
# `out_names` ("id:Name" of the named texts, in file order).
function(read_string_file file out_ids out_entries out_names)
    file(READ "${file}" content)
    if(content MATCHES "[${kSemicolon}${kOpenBracket}${kCloseBracket}${kBackslash}]")
        message(FATAL_ERROR "${file}: control characters are not allowed")
    endif()
    string(REPLACE "\\" "${kBackslash}" content "${content}")
    string(REPLACE ";" "${kSemicolon}" content "${content}")
    string(REPLACE "[" "${kOpenBracket}" content "${content}")
    string(REPLACE "]" "${kCloseBracket}" content "${content}")
    string(REPLACE "\r\n" "\n" content "${content}")
    string(REPLACE "\n" ";" lines "${content}")

    set(ids "")
    set(entries "")
    set(names "")
    set(name_words "")
    set(number 0)
    foreach(line IN LISTS lines)
        math(EXPR number "${number} + 1")
        if(line STREQUAL "" OR line MATCHES "^#")
            continue()
        endif()
        if(NOT line MATCHES "^([0-9]+)\t(.*)$")
            message(FATAL_ERROR "${file}:${number}: expected \"id<TAB>Name<TAB>text\"")
        endif()
        set(id "${CMAKE_MATCH_1}")
        set(text "${CMAKE_MATCH_2}")
        set(name "")
        if(text MATCHES "^([^\t]*)\t(.*)$")
            set(name "${CMAKE_MATCH_1}")
            set(text "${CMAKE_MATCH_2}")
            if(NOT name MATCHES "^[A-Z][A-Za-z0-9]*$")
                message(FATAL_ERROR "${file}:${number}: a name is a word of letters and digits that starts with a capital letter")
            endif()
            if(name IN_LIST name_words)
                message(FATAL_ERROR "${file}:${number}: name ${name} appears twice")
            endif()
            list(APPEND name_words "${name}")
        endif()
        string(REPLACE "${kBackslash}" "\\" text "${text}")
        if(id GREATER 65535)
            message(FATAL_ERROR "${file}:${number}: id ${id} out of range")
        endif()
        math(EXPR id "${id}") # drops leading zeros
        if(id IN_LIST ids)
            message(FATAL_ERROR "${file}:${number}: id ${id} appears twice")
        endif()
        string(REGEX REPLACE "\\\\[nt\"\\\\]" "" rest "${text}")
        if(rest MATCHES "[\\\\\"]")
            message(FATAL_ERROR "${file}:${number}: a quote or backslash must be written \\\" or \\\\")
        endif()
        if(rest MATCHES "[${kOtherControls}]")
            message(FATAL_ERROR "${file}:${number}: control characters must be written as escapes")
        endif()
        string(REPLACE "${kSemicolon}" ";" text "${text}")
        string(REPLACE "${kOpenBracket}" "[" text "${text}")
        string(REPLACE "${kCloseBracket}" "]" text "${text}")
        list(APPEND ids ${id})
        if(NOT name STREQUAL "")
            list(APPEND names "${id}:${name}")
        endif()
        string(APPEND entries "    {${id}, \"${text}\"},\n")
    endforeach()
    set(${out_ids} "${ids}" PARENT_SCOPE)
    set(${out_entries} "${entries}" PARENT_SCOPE)
    set(${out_names} "${names}" PARENT_SCOPE)
endfunction()

read_string_file("${ENGLISH}" english_ids english_entries english_names)
read_string_file("${GERMAN}" german_ids german_entries german_names)

set(sorted_english ${english_ids})
set(sorted_german ${german_ids})
list(SORT sorted_english COMPARE NATURAL)
list(SORT sorted_german COMPARE NATURAL)
if(NOT sorted_english STREQUAL sorted_german)
    message(FATAL_ERROR "the language files hold different ids:\n  ${ENGLISH}: ${sorted_english}\n  ${GERMAN}: ${sorted_german}")
endif()
if(sorted_english STREQUAL "")
    message(FATAL_ERROR "the language files hold no texts")
endif()
set(sorted_english_names ${english_names})
set(sorted_german_names ${german_names})
list(SORT sorted_english_names COMPARE NATURAL)
list(SORT sorted_german_names COMPARE NATURAL)
if(NOT "${sorted_english_names}" STREQUAL "${sorted_german_names}")
    message(FATAL_ERROR "the language files name their texts differently:\n  ${ENGLISH}: ${sorted_english_names}\n  ${GERMAN}: ${sorted_german_names}")
endif()

file(WRITE "${OUTPUT}"
"// Generated from the language files in resources/strings; edit those instead.
#include \"resources/string_table_data.h\"

namespace trawlix::strings {

const StringEntry kEnglish[] = {
${english_entries}};
const std::size_t kEnglishCount = sizeof kEnglish / sizeof kEnglish[0];

const StringEntry kGerman[] = {
${german_entries}};
const std::size_t kGermanCount = sizeof kGerman / sizeof kGerman[0];

} // namespace trawlix::strings
")

if(DEFINED HEADER)
    set(constants "")
    foreach(pair IN LISTS sorted_english_names)
        string(REPLACE ":" ";" pair "${pair}")
        list(GET pair 0 id)
        list(GET pair 1 name)
        string(APPEND constants "    ${name} = ${id},\n")
    endforeach()
    file(WRITE "${HEADER}"
"// Generated from the language files in resources/strings; edit those instead.
#pragma once

namespace trawlix {

// The interface texts by name, for LoadString (resources/string_table.h).
enum class TextId : int {
${constants}};

} // namespace trawlix
")
endif()
