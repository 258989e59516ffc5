#include "scan/record/adapter_state.h"

#include "resources/string_table.h"

namespace {

// Texts are made in the language of the run; a record says in either what it is.
bool IsText(const std::string& text, trawlix::TextId id)
{
    for (const trawlix::Language language : {trawlix::Language::English, trawlix::Language::German})
        if (text == trawlix::LoadString(id, language))
            return true;
    return false;
}

} // namespace

AdapterUpdate UpdateOf(const DeviceRecord& record)
{
    switch (record.updateState) {
    case 1:
        return AdapterUpdate::Available;
    case 2:
        return AdapterUpdate::NotPossible;
    default:
        // State 0 is both "Up to date" and "Info N/A"; only the first is an answer.
        return IsText(record.updateText, trawlix::TextId::UpToDate) ? AdapterUpdate::UpToDate : AdapterUpdate::Unknown;
    }
}

bool RefusedLogin(const DeviceRecord& record)
{
    return record.found && record.jsonApi && record.firmware.empty() && record.mac.empty() &&
           IsText(record.model, trawlix::TextId::AccessDenied);
}
