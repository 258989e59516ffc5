#include "scan/record/record_order.h"

#include <gtest/gtest.h>

namespace {

DeviceRecord Record(const std::string& ip, const std::string& model, const std::string& firmware = {})
{
    DeviceRecord record;
    record.ip = ip;
    record.model = model;
    record.firmware = firmware;
    record.found = true;
    return record;
}

int Sign(int value)
{
    return (value > 0) - (value < 0);
}

TEST(RecordOrderTest, CompareRecordsByColumnAndDirection)
{
    const DeviceRecord a = Record("192.168.1.10", "beta", "10.1");
    const DeviceRecord b = Record("192.168.1.5", "Alpha", "4.26");
    const DeviceRecord c = Record("10.10.10.10", "gamma", "2.0");
    const DeviceRecord noDot = Record("localhost", "x");
    const DeviceRecord leadingDot = Record(".7", "y");
    struct Case
    {
        const DeviceRecord* left;
        const DeviceRecord* right;
        SortState state;
        int sign;
    };
    const Case cases[] = {
        {&b, &a, {0, true}, -1}, // letters fold: Alpha before beta
        {&b, &a, {0, false}, 1}, // descending exchanges the rows
        {&a, &b, {1, true}, -1}, // versions compare as text: 10.1 before 4.26
        {&b, &a, {5, true}, -1}, // .5 before .10
        {&b, &a, {5, false}, 1}, //
        {&a, &c, {5, true}, 0},  // only the last octet counts
        {&noDot, &b, {5, true}, 0},   {&leadingDot, &b, {5, true}, 0},
        {&a, nullptr, {5, true}, 0},                          // a row without a record
        {nullptr, &a, {0, false}, 0}, {&a, &b, {7, true}, 0}, // no such column
        {&a, &b, {-1, true}, 0},
    };
    for (const Case& test : cases)
        EXPECT_EQ(Sign(CompareRecords(test.left, test.right, &test.state)), test.sign)
            << "column " << test.state.column << " ascending " << test.state.ascending;
    EXPECT_EQ(CompareRecords(&a, &b, nullptr), 0);
}

} // namespace
