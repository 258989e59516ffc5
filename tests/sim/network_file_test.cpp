#include "sim/network_file.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using Kind = sim::JsonMember::Kind;

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
    EXPECT_EQ(network->adapters[0].page, sim::PageKind::Status);
    EXPECT_EQ(network->adapters[0].status, 200);
    EXPECT_EQ(network->vendorAddress, "10.99.0.1");
    EXPECT_EQ(network->vendorPort, 8080);
    EXPECT_EQ(network->latest.at("17/16"), "4.30");
}

TEST(NetworkFileTest, LegacyPageVariants)
{
    std::string error;
    const auto network =
        sim::ParseNetwork("legacy 10.0.0.1 plain hardware=<b>LX300</b>|charset=\"utf-8\"|location=K\xC3\xBC"
                          "che|omit=manufacturer,location|extra=<p>x</p>|delay=250\n"
                          "legacy 10.0.0.2 plain page=not-found\n"
                          "legacy 10.0.0.3 plain page=error|status=503\n"
                          "legacy 10.0.0.4 plain status=404|page=error\n"
                          "legacy 10.0.0.5 plain page=router\n"
                          "host 10.0.0.6 bad-utf8\n",
                          error);
    ASSERT_TRUE(network) << error;
    ASSERT_EQ(network->adapters.size(), 6u);
    const auto& first = network->adapters[0];
    EXPECT_EQ(first.hardware, "<b>LX300</b>");
    EXPECT_EQ(first.charset, "\"utf-8\"");
    EXPECT_EQ(first.location, "K\xC3\xBC"
                              "che");
    EXPECT_EQ(first.omit, (std::vector<std::string>{"manufacturer", "location"}));
    EXPECT_EQ(first.extra, "<p>x</p>");
    EXPECT_EQ(first.delayMs, 250);
    EXPECT_EQ(network->adapters[1].status, 404);
    EXPECT_EQ(network->adapters[2].status, 503);
    // A status given before the page kind is not overwritten by the kind's default.
    EXPECT_EQ(network->adapters[3].status, 404);
    EXPECT_EQ(network->adapters[4].page, sim::PageKind::Router);
    EXPECT_EQ(network->adapters[5].charset, "utf-8");
    EXPECT_EQ(network->adapters[5].location, "Lager \xC3\x28\xA0\xFF");
}

TEST(NetworkFileTest, Lx400MembersMarkersAndSwitches)
{
    std::string error;
    const auto network =
        sim::ParseNetwork("lx400 10.0.0.1 https\n"
                          "lx400 10.0.0.2 http name=LX400 Pro|version=V2.01.3|manufacturer=null|location=|mac=~"
                          "|topmac=00:11|ipv4=@array|user=root|password=p\"q|login=any|loginbody=malformed"
                          "|info=not-object|config=malformed|depth=7|delay=10\n"
                          "lx400 10.0.0.3 https name=@=null|version=@number|location=@true|manufacturer=@object"
                          "|mac=@=~|topmac=@=@array\n"
                          "lx400 10.0.0.4 https info=array-member|name=LX400 Pro|config=nested\n"
                          "lx400 10.0.0.5 https info=array-member|info=scalar|config=empty\n",
                          error);
    ASSERT_TRUE(network) << error;
    ASSERT_EQ(network->lx400.size(), 5u);
    const auto& plain = network->lx400[0];
    EXPECT_TRUE(plain.https);
    EXPECT_EQ(plain.Port(), 443);
    EXPECT_EQ(plain.user, "admin");
    EXPECT_EQ(plain.password, "lx400-dflt");
    EXPECT_EQ(plain.name.text, "LX400");
    EXPECT_EQ(plain.version.text, "V1.20.0");
    EXPECT_EQ(plain.topMac.kind, Kind::Missing);
    EXPECT_EQ(plain.ipv4.kind, Kind::Object);
    EXPECT_EQ(plain.info, sim::DocumentShape::Object);
    EXPECT_FALSE(plain.anyLogin);

    const auto& odd = network->lx400[1];
    EXPECT_FALSE(odd.https);
    EXPECT_EQ(odd.Port(), 80);
    EXPECT_EQ(odd.name.text, "LX400 Pro");
    EXPECT_EQ(odd.version.text, "V2.01.3");
    EXPECT_EQ(odd.manufacturer.kind, Kind::Null);
    EXPECT_EQ(odd.location.kind, Kind::Text);
    EXPECT_EQ(odd.location.text, "");
    EXPECT_EQ(odd.mac.kind, Kind::Missing);
    EXPECT_EQ(odd.topMac.text, "00:11");
    EXPECT_EQ(odd.ipv4.kind, Kind::Array);
    EXPECT_EQ(odd.user, "root");
    EXPECT_EQ(odd.password, "p\"q");
    EXPECT_TRUE(odd.anyLogin);
    EXPECT_TRUE(odd.malformedLoginBody);
    EXPECT_EQ(odd.info, sim::DocumentShape::Array);
    EXPECT_EQ(odd.config, sim::DocumentShape::Unparsable);
    EXPECT_EQ(odd.depth, 7);
    EXPECT_EQ(odd.delayMs, 10);

    const auto& markers = network->lx400[2];
    EXPECT_EQ(markers.name.kind, Kind::Text);
    EXPECT_EQ(markers.name.text, "null");
    EXPECT_EQ(markers.version.kind, Kind::Number);
    EXPECT_EQ(markers.location.kind, Kind::True);
    EXPECT_EQ(markers.manufacturer.kind, Kind::Object);
    EXPECT_EQ(markers.mac.text, "~");
    EXPECT_EQ(markers.topMac.text, "@array");

    // "array-member" turns the name into an array whatever order the fields come in.
    EXPECT_EQ(network->lx400[3].name.kind, Kind::Array);
    EXPECT_EQ(network->lx400[3].name.text, "LX400 Pro");
    EXPECT_EQ(network->lx400[3].config, sim::DocumentShape::Nested);
    // A later info shape replaces it.
    EXPECT_EQ(network->lx400[4].name.kind, Kind::Text);
    EXPECT_EQ(network->lx400[4].info, sim::DocumentShape::Scalar);
    EXPECT_EQ(network->lx400[4].config, sim::DocumentShape::Empty);
}

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
    ASSERT_EQ(network->rawHosts.size(), 1u);
    EXPECT_EQ(network->rawHosts[0].mode, sim::RawHost::Mode::Silent);

    for (const char* wrong : {"lx400 10.0.0.7 ftp name=x", "lx400 10.0.0.7 http colour=red",
                              "lx400 10.0.0.7 http info=odd", "host 10.0.0.9 friendly", "host 10.0.0.9"}) {
        EXPECT_FALSE(sim::ParseNetwork(wrong, error)) << wrong;
    }
}

TEST(NetworkFileTest, HostileHosts)
{
    std::string error;
    const auto network = sim::ParseNetwork("host 127.77.0.1 huge\n"
                                           "host 127.77.0.2 huge 1000\n"
                                           "host 127.77.0.3 trickle\n"
                                           "host 127.77.0.4 trickle 0.25\n"
                                           "host 127.77.0.5 silent\n"
                                           "host 127.77.0.6 silent 8080,9090\n"
                                           "host 127.77.0.7 nested-json\n"
                                           "host 127.77.0.8 nested-json https 50\n"
                                           "host 127.77.0.9 nested-json 60\n"
                                           "host 127.77.0.10 malformed-json https\n"
                                           "host 127.77.0.11 router\n"
                                           "host 127.77.0.12 error404\n"
                                           "host 127.77.0.13 error500\n"
                                           "host 127.77.0.14 notfound\n",
                                           error);
    ASSERT_TRUE(network) << error;
    ASSERT_EQ(network->bigPages.size(), 2u);
    EXPECT_EQ(network->bigPages[0].size, 64u * 1024 * 1024);
    EXPECT_EQ(network->bigPages[1].size, 1000u);
    ASSERT_EQ(network->rawHosts.size(), 4u);
    EXPECT_EQ(network->rawHosts[0].mode, sim::RawHost::Mode::Trickle);
    EXPECT_EQ(network->rawHosts[0].ports, std::vector<int>{80});
    EXPECT_EQ(network->rawHosts[0].intervalMs, 1000);
    EXPECT_EQ(network->rawHosts[1].intervalMs, 250);
    EXPECT_EQ(network->rawHosts[2].mode, sim::RawHost::Mode::Silent);
    EXPECT_EQ(network->rawHosts[2].ports, (std::vector<int>{80, 443}));
    EXPECT_EQ(network->rawHosts[3].ports, (std::vector<int>{8080, 9090}));
    ASSERT_EQ(network->lx400.size(), 4u);
    EXPECT_FALSE(network->lx400[0].https);
    EXPECT_TRUE(network->lx400[0].anyLogin);
    EXPECT_EQ(network->lx400[0].info, sim::DocumentShape::Nested);
    EXPECT_EQ(network->lx400[0].config, sim::DocumentShape::Nested);
    EXPECT_EQ(network->lx400[0].depth, 100000);
    EXPECT_TRUE(network->lx400[1].https);
    EXPECT_EQ(network->lx400[1].depth, 50);
    EXPECT_EQ(network->lx400[2].depth, 60);
    EXPECT_TRUE(network->lx400[3].https);
    EXPECT_TRUE(network->lx400[3].malformedLoginBody);
    EXPECT_EQ(network->lx400[3].info, sim::DocumentShape::Unparsable);
    ASSERT_EQ(network->adapters.size(), 4u);
    EXPECT_EQ(network->adapters[0].page, sim::PageKind::Router);
    EXPECT_EQ(network->adapters[1].page, sim::PageKind::Error);
    EXPECT_EQ(network->adapters[1].status, 404);
    EXPECT_EQ(network->adapters[2].status, 500);
    EXPECT_EQ(network->adapters[3].page, sim::PageKind::NotFound);
    EXPECT_EQ(network->adapters[3].status, 200);
    EXPECT_EQ(network->hostLines, 14u);
    EXPECT_EQ(network->legacyLines, 0u);
    EXPECT_EQ(network->lx400Lines, 0u);
}

TEST(NetworkFileTest, LatestLinesTakeBlanksInTheDeviceAndAnEmptyOem)
{
    std::string error;
    const auto network = sim::ParseNetwork("latest LX400 Pro 12 1.80\n"
                                           "latest LX400 - 2.01\n"
                                           "latest 7 * 4.30\n",
                                           error);
    ASSERT_TRUE(network) << error;
    EXPECT_EQ(network->latest.at("LX400 Pro/12"), "1.80");
    EXPECT_EQ(network->latest.at("LX400/"), "2.01");
    EXPECT_EQ(network->latest.at("7/*"), "4.30");
}

TEST(NetworkFileTest, OneAddressMayServeSeveralPorts)
{
    std::string error;
    const auto network = sim::ParseNetwork("lx400 127.0.0.9 https\n"
                                           "legacy 127.0.0.9 plain hardware=x\n"
                                           "vendor 127.0.0.9:8080\n",
                                           error);
    EXPECT_TRUE(network) << error;
}

TEST(NetworkFileTest, MovedPagesAndTheirPorts)
{
    // The shipped networks use every TLS set-up and the common forms of moved pages; these are
    // the rest: a relative target with a query, another port, another status.
    std::string error;
    const auto network = sim::ParseNetwork("legacy 10.2.0.2 plain moved=status.shtml?x=1|redirect=307\n"
                                           "legacy 10.2.0.4 plain moved=http://10.2.0.4:8080\n"
                                           "vendor 10.2.0.4:8080\n",
                                           error);
    EXPECT_FALSE(network);
    EXPECT_NE(error.find("10.2.0.4:8080 is already used on line 2"), std::string::npos) << error;
    const auto moved = sim::ParseNetwork("legacy 10.2.0.2 plain moved=status.shtml?x=1|redirect=307\n"
                                         "legacy 10.2.0.4 plain moved=http://10.2.0.4:8080|tls=client-cert\n",
                                         error);
    ASSERT_TRUE(moved) << error;
    const sim::MovedPage& relative = *moved->adapters[0].moved;
    EXPECT_EQ(std::tuple(relative.location, relative.ownHost, relative.port, relative.path),
              std::tuple(std::string("status.shtml?x=1"), true, 80, std::string("/status.shtml")));
    EXPECT_EQ(moved->adapters[0].redirectStatus, 307);
    const sim::MovedPage& port = *moved->adapters[1].moved;
    EXPECT_EQ(std::tuple(port.ownHost, port.https, port.port, port.path),
              std::tuple(true, false, 8080, std::string("/")));
    EXPECT_EQ(moved->adapters[1].tls, sim::TlsSetup::ClientCertificate);
}

TEST(NetworkFileTest, NamesTheLineOfAnError)
{
    const char* wrong[] = {"legacy 10.0.0.5 fancy hardware=x",
                           "legacy 10.0.0.5 plain colour=red",
                           "legacy 10.0.0.5 plain hardware",
                           "legacy 10.0.0.5 plain page=home",
                           "legacy 10.0.0.5 plain status=99",
                           "legacy 10.0.0.5 plain omit=serial",
                           "legacy 10.0.0.5 plain delay=soon",
                           "legacy 10.0.0.256 plain hardware=x",
                           "legacy adapter.local plain hardware=x",
                           "vendor 10.0.0.1:port",
                           "vendor 10.0.0.1:70000",
                           "vendor",
                           "latest 17 16",
                           "router 10.0.0.1",
                           "lx400 10.0.0.5 ftp",
                           "lx400 10.0.0.5",
                           "lx400 10.0.0.5 https colour=red",
                           "lx400 10.0.0.5 https info=round",
                           "lx400 10.0.0.5 https info=object",
                           "lx400 10.0.0.5 https login=maybe",
                           "lx400 10.0.0.5 https depth=0",
                           "lx400 10.0.0.5 https config=array-member",
                           "host 10.0.0.5 huge lots",
                           "host 10.0.0.5 huge 0",
                           "host 10.0.0.5 trickle never",
                           "host 10.0.0.5 trickle 0",
                           "host 10.0.0.5 silent 80,http",
                           "host 10.0.0.5 silent 80 443",
                           "host 10.0.0.5 nested-json https deep",
                           "host 10.0.0.5 nested-json 5 https",
                           "host 10.0.0.5 malformed-json http extra",
                           "host 10.0.0.5 bad-utf8 more",
                           "host 10.0.0.5 router 80",
                           "host 10.0.0.500 router",
                           "host 10.0.0.5 friendly",
                           "host 10.0.0.5 hangup 80",
                           "lx400 10.0.0.5 https tls=ssl3",
                           "lx400 10.0.0.5 https fail=logout:500",
                           "lx400 10.0.0.5 https fail=login",
                           "legacy 10.0.0.5 plain redirect=304",
                           "legacy 10.0.0.5 plain moved=http://10.0.0.5:http/x",
                           "vendor 10.0.0.1 elsewhere"};
    for (const char* line : wrong) {
        std::string error;
        EXPECT_FALSE(sim::ParseNetwork(std::string("# first\n") + line + "\n", error)) << line;
        EXPECT_EQ(error.rfind("line 2: ", 0), 0u) << error;
    }
}

TEST(NetworkFileTest, RefusesTwoEntriesOnOneAddressAndPort)
{
    const char* pairs[][2] = {{"legacy 127.0.0.2 plain hardware=x", "lx400 127.0.0.2 http"},
                              {"lx400 127.0.0.2 https", "host 127.0.0.2 silent"},
                              {"host 127.0.0.2 huge", "host 127.0.0.2 trickle"},
                              {"vendor 127.0.0.2", "host 127.0.0.2 bad-utf8"},
                              {"host 127.0.0.2 nested-json", "host 127.0.0.2 router"},
                              {"host 127.0.0.2 silent 8080", "vendor 127.0.0.2:8080"}};
    for (const auto& pair : pairs) {
        std::string error;
        EXPECT_FALSE(sim::ParseNetwork(std::string(pair[0]) + "\n" + pair[1] + "\n", error)) << pair[1];
        EXPECT_NE(error.find("already used on line 1"), std::string::npos) << error;
    }
}

TEST(NetworkFileTest, ShippedNetworksParse)
{
    for (const char* name : {"sample.net", "hostile.net", "tls.net", "redirects.net", "reasons.net"}) {
        std::string error;
        const auto network = sim::ReadNetworkFile(std::string(TRAWLIX_SIM_NETWORKS) + "/" + name, error);
        EXPECT_TRUE(network) << name << ": " << error;
    }
}

} // namespace
