#include "scan/record/record_order.h"

#include "scan/record/device_columns.h"

#include <algorithm>
#include <utility>

namespace {

// Byte-wise comparison with ASCII letters folded to lower case.
int CompareNoCase(const std::string& a, const std::string& b)
{
    const auto lower = [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return static_cast<int>(u >= 'A' && u <= 'Z' ? u + ('a' - 'A') : u);
    };
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int d = lower(a[i]) - lower(b[i]);
        if (d != 0)
            return d;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Text after the last '.', left-padded with zeros to three characters; nothing when the address
// has no '.' after its first character.
bool LastOctet(const std::string& ip, std::string& octet)
{
    const auto dot = ip.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return false;
    octet = ip.substr(dot + 1);
    if (octet.size() < 3)
        octet.insert(0, 3 - octet.size(), '0');
    return true;
}

} // namespace

int CompareRecords(const DeviceRecord* a, const DeviceRecord* b, const SortState* sortState)
{
    if (sortState == nullptr)
        return 0;
    if (!sortState->ascending)
        std::swap(a, b);
    if (a == nullptr || b == nullptr || sortState->column < 0 || sortState->column >= kDeviceColumnCount)
        return 0;
    const DeviceColumn& column = kDeviceColumns[static_cast<std::size_t>(sortState->column)];
    switch (column.order) {
    case ColumnOrder::Text:
        return CompareNoCase(a->*column.field, b->*column.field);
    case ColumnOrder::LastOctet: {
        std::string octetA;
        std::string octetB;
        if (!LastOctet(a->*column.field, octetA) || !LastOctet(b->*column.field, octetB))
            return 0;
        return CompareNoCase(octetA, octetB);
    }
    }
    return 0;
}
