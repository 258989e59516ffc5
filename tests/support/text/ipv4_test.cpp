#include "support/text/ipv4.h"

#include <gtest/gtest.h>

namespace {

TEST(DottedQuadTest, OnlyFourDecimalOctetsAreAnAddress)
{
    EXPECT_EQ(ParseDottedQuad("192.168.1.20"), 0xC0A80114u);
    for (const char* text : {"0.0.0.0", "10.10.10.10", "255.255.255.255"})
        EXPECT_EQ(FormatDottedQuad(ParseDottedQuad(text).value_or(1)), text);
    // Forms a resolver or inet_aton would still turn into a name lookup or some address.
    for (const char* text :
         {"", "abc", "192.168.1", "1.2.3.4.5", "300.1.1.1", "1.2.3.256", "010.1.1.1", "1.2.3.00", "0x0a.1.1.1",
          " 1.2.3.4", "1.2.3.4 ", "+1.2.3.4", "1.2.3.4.", "1..2.3", "1.2.3.1234", "3232235777", "1.2.3.4\n"})
        EXPECT_FALSE(IsDottedQuad(text)) << '"' << text << '"';
}

} // namespace
