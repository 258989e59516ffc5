#include "sim/network_file.h"

#include <gtest/gtest.h>

namespace {

TEST(NetworkFileTest, ReadsAdaptersVendorAndLatestVersions)
{
    std::string error;
    const auto network = sim::ParseNetwork("# comment\r\n"
                                           "legacy 10.0.0.5 script hardware=LX300|firmware=LX200 v 4.26.16|mac=m\n"
                                           "vendor 10.99.0.1:8080\n"
                                           "latest 17 16 4.30\n",
                                           error);
    ASSERT_TRUE(network) << error;
    ASSERT_EQ(network->adapters.size(), 1u);
    EXPECT_EQ(network->adapters[0].address, "10.0.0.5");
    EXPECT_EQ(network->adapters[0].form, sim::LabelForm::Script);
    EXPECT_EQ(network->adapters[0].firmware, "LX200 v 4.26.16");
    EXPECT_EQ(network->vendorAddress, "10.99.0.1");
    EXPECT_EQ(network->vendorPort, 8080);
    EXPECT_EQ(network->latest.at("17/16"), "4.30");
}

TEST(NetworkFileTest, NamesTheLineOfAnError)
{
    const char* wrong[] = {"legacy 10.0.0.5 fancy hardware=x",
                           "legacy 10.0.0.5 plain colour=red",
                           "legacy 10.0.0.5 plain hardware",
                           "vendor 10.0.0.1:port",
                           "vendor 10.0.0.1:70000",
                           "latest 17 16",
                           "router 10.0.0.1"};
    for (const char* line : wrong) {
        std::string error;
        EXPECT_FALSE(sim::ParseNetwork(std::string("# first\n") + line + "\n", error)) << line;
        EXPECT_EQ(error.rfind("line 2: ", 0), 0u) << error;
    }
}

TEST(NetworkFileTest, StatusPageWritesEachLabelForm)
{
    sim::LegacyAdapter adapter;
    adapter.hardware = "LX300";
    adapter.form = sim::LabelForm::PlainWidth;
    EXPECT_NE(sim::StatusPage(adapter).find("LX200&nbsp;Hardware</td><td class=\"mainb\" width=\"100%\">LX300<"),
              std::string::npos);
    adapter.form = sim::LabelForm::Plain;
    EXPECT_NE(sim::StatusPage(adapter).find("LX200&nbsp;Hardware</td><td class=\"mainb\">LX300<"), std::string::npos);
    adapter.form = sim::LabelForm::ScriptWidth;
    EXPECT_NE(
        sim::StatusPage(adapter).find("_dw(\"LX200 Hardware\")</script></td><td class=\"mainb\" width=\"100%\">LX300<"),
        std::string::npos);
    adapter.form = sim::LabelForm::Script;
    EXPECT_NE(sim::StatusPage(adapter).find("_dw(\"LX200 Hardware\")</script></td><td class=\"mainb\">LX300<"),
              std::string::npos);
}

} // namespace

namespace {

TEST(NetworkFileTest, ReadsLx400AdaptersAndMisbehavingHosts)
{
    std::string error;
    const auto network = sim::ParseNetwork("lx400 10.0.0.7 https name=LX400|version=V1.78.12|password=p|topmac=T\n"
                                           "lx400 10.0.0.8 http info=not-object|config=malformed\n"
                                           "host 10.0.0.9 silent\n",
                                           error);
    ASSERT_TRUE(network) << error;
    ASSERT_EQ(network->lx400.size(), 2u);
    EXPECT_TRUE(network->lx400[0].https);
    EXPECT_EQ(network->lx400[0].password, "p");
    EXPECT_EQ(network->lx400[0].user, "admin");
    EXPECT_FALSE(network->lx400[1].https);
    ASSERT_EQ(network->hostile.size(), 1u);
    EXPECT_EQ(network->hostile[0].kind, "silent");

    for (const char* wrong : {"lx400 10.0.0.7 ftp name=x", "lx400 10.0.0.7 http colour=red",
                              "lx400 10.0.0.7 http info=odd", "host 10.0.0.9 friendly", "host 10.0.0.9"}) {
        EXPECT_FALSE(sim::ParseNetwork(wrong, error)) << wrong;
    }
}

TEST(NetworkFileTest, Lx400DocumentsFollowTheirSwitches)
{
    sim::Lx400Adapter adapter;
    adapter.manufacturer = "null";
    adapter.location = "~";
    adapter.mac = "AA";
    adapter.topMac = "BB";
    EXPECT_EQ(sim::SystemInfoDocument(adapter),
              R"({"version":"V1.20.0","name":"LX400","manufacturer":null,"uptime":12345})");
    EXPECT_EQ(sim::NetworkConfigDocument(adapter), R"({"ipv4":{"mac":"AA"},"mac":"BB"})");
    adapter.name = "quote\"d";
    EXPECT_NE(sim::SystemInfoDocument(adapter).find(R"("name":"quote\"d")"), std::string::npos);
    adapter.info = "array-member";
    EXPECT_NE(sim::SystemInfoDocument(adapter).find(R"("name":["quote"d"])"), std::string::npos);
    adapter.config = "malformed";
    EXPECT_EQ(sim::NetworkConfigDocument(adapter).back(), ' ');
}

TEST(NetworkFileTest, DeclaredCharsetAppearsInTheStatusPage)
{
    sim::LegacyAdapter adapter;
    adapter.charset = "utf-8";
    EXPECT_NE(sim::StatusPage(adapter).find("charset=utf-8\">"), std::string::npos);
    adapter.charset.clear();
    EXPECT_EQ(sim::StatusPage(adapter).find("charset"), std::string::npos);
}

} // namespace
