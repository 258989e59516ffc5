#include "scan/record/record_order.h"

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

const std::string& FieldOfColumn(const DeviceRecord& record, int column)
{
    switch (column) {
    case 0:
        return record.model;
    case 1:
        return record.firmware;
    case 2:
        return record.updateText;
    case 3:
        return record.manufacturer;
    case 4:
        return record.mac;
    case 5:
        return record.ip;
    default:
        return record.location;
    }
}

int CompareRecords(const DeviceRecord* a, const DeviceRecord* b, const SortState* sortState)
{
    if (sortState == nullptr)
        return 0;
    if (!sortState->ascending)
        std::swap(a, b);
    if (a == nullptr || b == nullptr)
        return 0;
    switch (sortState->column) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 4:
    case 6:
        return CompareNoCase(FieldOfColumn(*a, sortState->column), FieldOfColumn(*b, sortState->column));
    case 5: {
        // Only the last octet counts: the list shows one /24 network and the default address.
        std::string octetA;
        std::string octetB;
        if (!LastOctet(a->ip, octetA) || !LastOctet(b->ip, octetB))
            return 0;
        return CompareNoCase(octetA, octetB);
    }
    default:
        return 0;
    }
}
