#include "scan/record/device_columns.h"

#include "resources/string_table.h"
#include "scan/record/display_text.h"

std::string ColumnText(const DeviceRecord& record, const DeviceColumn& column)
{
    return DisplayText(record.*column.field, record.jsonApi);
}

std::vector<std::string> ColumnCaptions()
{
    std::vector<std::string> captions;
    captions.reserve(kDeviceColumns.size());
    for (const DeviceColumn& column : kDeviceColumns)
        captions.push_back(trawlix::LoadString(column.caption));
    return captions;
}

std::vector<RecordTextField> RecordTexts()
{
    std::vector<RecordTextField> texts;
    for (const DeviceColumn& column : kDeviceColumns)
        texts.push_back({column.key, column.field});
    texts.insert(texts.end(), kRecordTextFields.begin(), kRecordTextFields.end());
    return texts;
}
