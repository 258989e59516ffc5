# Embeds the dialog template files in the core as C++ text. Script mode:
#   cmake -DFILES="a.txt;b.txt" -DOUTPUT=dialog_template_data.cpp -P dialog_templates.cmake
# File names are <id>.<en|de>.txt; every template must come in both languages. The texts are
# parsed by the program's own parser, whose test reads every one of them in both languages.

cmake_minimum_required(VERSION 3.25)

foreach(var FILES OUTPUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "dialog_templates.cmake: ${var} is not set")
    endif()
endforeach()

set(delimiter "trawlix_dlg")
set(entries "")
set(english_ids "")
set(german_ids "")
foreach(file IN LISTS FILES)
    get_filename_component(name "${file}" NAME)
    if(NOT name MATCHES "^([0-9]+)\\.(en|de)\\.txt$")
        message(FATAL_ERROR "${file}: a template file is named <id>.<en|de>.txt")
    endif()
    set(id "${CMAKE_MATCH_1}")
    set(language "${CMAKE_MATCH_2}")
    file(READ "${file}" content)
    string(FIND "${content}" ")${delimiter}\"" found)
    if(NOT found EQUAL -1)
        message(FATAL_ERROR "${file}: holds the embedding delimiter")
    endif()
    if(language STREQUAL "en")
        list(APPEND english_ids ${id})
    else()
        list(APPEND german_ids ${id})
    endif()
    string(APPEND entries "    {${id}, \"${language}\", \"${name}\", R\"${delimiter}(${content})${delimiter}\"},\n")
endforeach()

list(SORT english_ids COMPARE NATURAL)
list(SORT german_ids COMPARE NATURAL)
if(NOT english_ids STREQUAL german_ids)
    message(FATAL_ERROR "the dialog templates differ between the languages:\n  en: ${english_ids}\n  de: ${german_ids}")
endif()
if(english_ids STREQUAL "")
    message(FATAL_ERROR "no dialog templates")
endif()

file(WRITE "${OUTPUT}"
"// Generated from the template files in resources/dialogs; edit those instead.
#include \"resources/dialog_template_data.h\"

namespace trawlix::dialogs {

const TemplateSource kTemplateSources[] = {
${entries}};
const std::size_t kTemplateSourceCount = sizeof kTemplateSources / sizeof kTemplateSources[0];

} // namespace trawlix::dialogs
")
