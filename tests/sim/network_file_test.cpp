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
