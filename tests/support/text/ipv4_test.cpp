#include "support/text/ipv4.h"

#include <gtest/gtest.h>

namespace {

TEST(DottedQuadTest, AcceptsFourDecimalOctetsOnly)
{
    const struct
    {
        const char* text;
        std::uint32_t address;
    } good[] = {
        {"0.0.0.0", 0}, {"10.10.10.10", 0x0A0A0A0Au}, {"192.168.1.20", 0xC0A80114u}, {"255.255.255.255", 0xFFFFFFFFu}};
    for (const auto& c : good) {
        EXPECT_EQ(ParseDottedQuad(c.text), c.address) << c.text;
        EXPECT_EQ(FormatDottedQuad(c.address), c.text);
    }

    // Forms that a resolver or inet_aton would still turn into some address or a name lookup.
    const char* const bad[] = {"",          "abc",       "192.168.1", "192.168.5",  "1.2.3.4.5",
                               "300.1.1.1", "1.2.3.256", "010.1.1.1", "1.2.3.00",   "0x0a.1.1.1",
                               "1.2.3.0x1", " 1.2.3.4",  "1.2.3.4 ",  "+1.2.3.4",   "1.-2.3.4",
                               "1.2.3.4.",  ".1.2.3.4",  "1..2.3",    "1.2.3.1234", "3232235777",
                               "1.2.3.*",   "localhost", "1.2.3.4\n", "1.2.3.4/24", "１.2.3.4"};
    for (const char* text : bad)
        EXPECT_FALSE(IsDottedQuad(text)) << '"' << text << '"';
    EXPECT_FALSE(IsDottedQuad(std::string_view("1.2.3.4\0", 8)));
}

TEST(DottedQuadTest, AuthorityTakesAnOptionalPort)
{
    for (const char* text : {"10.0.0.1", "127.0.0.1:8080", "1.2.3.4:1", "1.2.3.4:65535"})
        EXPECT_TRUE(IsDottedQuadAuthority(text)) << text;
    for (const char* text : {"1.2.3.4:", "1.2.3.4:0", "1.2.3.4:65536", "1.2.3.4:080", "1.2.3.4:8a", "host:80",
                             "1.2.3:80", "1.2.3.4:80:81", ":80", "[::1]:80"})
        EXPECT_FALSE(IsDottedQuadAuthority(text)) << text;
}

} // namespace
