#pragma once

#include <cstddef>

// The dialog template texts behind dialog_template.h, embedded at build time from the files in
// resources/dialogs. Every template id appears once per language.
namespace trawlix::dialogs {

struct TemplateSource
{
    int id;
    const char* language; // "en" or "de"
    const char* name;     // file name, for error messages
    const char* text;     // UTF-8
};

extern const TemplateSource kTemplateSources[];
extern const std::size_t kTemplateSourceCount;

} // namespace trawlix::dialogs
