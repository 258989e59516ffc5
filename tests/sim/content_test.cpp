#include "sim/content.h"
#include "sim/lx400_auth.h"
#include "sim/stats.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <memory>

namespace {

// Parses the way the LX400 probe does: default features, any root.
bool Parse(const std::string& text, Json::Value& root)
{
    Json::CharReaderBuilder builder;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    try {
        return reader->parse(text.data(), text.data() + text.size(), &root, &errors);
    } catch (const std::exception&) {
        return false;
    }
}

TEST(ContentTest, StatusPageWritesEachLabelForm)
{
    sim::LegacyAdapter adapter;
    adapter.hardware = "LX300";
    const std::pair<sim::LabelForm, const char*> forms[] = {
        {sim::LabelForm::PlainWidth, "LX200&nbsp;Hardware</td><td class=\"mainb\" width=\"100%\">LX300<"},
        {sim::LabelForm::Plain, "LX200&nbsp;Hardware</td><td class=\"mainb\">LX300<"},
        {sim::LabelForm::ScriptWidth, "_dw(\"LX200 Hardware\")</script></td><td class=\"mainb\" width=\"100%\">LX300<"},
        {sim::LabelForm::Script, "_dw(\"LX200 Hardware\")</script></td><td class=\"mainb\">LX300<"}};
    for (const auto& [form, label] : forms) {
        adapter.form = form;
        EXPECT_NE(sim::StatusPage(adapter).find(label), std::string::npos) << label;
    }
}

TEST(ContentTest, DeclaredCharsetAppearsInTheStatusPage)
{
    sim::LegacyAdapter adapter;
    adapter.charset = "utf-8";
    EXPECT_NE(sim::StatusPage(adapter).find("charset=utf-8\">"), std::string::npos);
    adapter.charset.clear();
    EXPECT_EQ(sim::StatusPage(adapter).find("charset"), std::string::npos);
}

TEST(ContentTest, StatusPageCharsetOmittedRowsAndExtraHtml)
{
    sim::LegacyAdapter adapter;
    adapter.form = sim::LabelForm::Plain;
    adapter.location = "K\xC3\xBC"
                       "che";
    EXPECT_EQ(sim::StatusPage(adapter).find("charset"), std::string::npos);
    adapter.charset = "\"utf-8\"";
    adapter.omit = {"manufacturer"};
    adapter.extra = "<table><tr><td>more</td></tr></table>";
    const std::string page = sim::StatusPage(adapter);
    EXPECT_NE(page.find("content=\"text/html; charset=\"utf-8\"\""), std::string::npos) << page;
    EXPECT_NE(page.find("Location</td><td class=\"mainb\">K\xC3\xBC"
                        "che<"),
              std::string::npos);
    EXPECT_EQ(page.find("Manufacturer"), std::string::npos);
    EXPECT_NE(page.find("Hardware"), std::string::npos);
    EXPECT_NE(page.find("</table><table><tr><td>more"), std::string::npos);
}

TEST(ContentTest, LegacyAnswerKinds)
{
    sim::LegacyAdapter adapter;
    adapter.hardware = "LX300";
    adapter.status = 200;
    auto answer = sim::LegacyAnswer(adapter);
    EXPECT_EQ(answer.status, 200);
    EXPECT_NE(answer.body.find("LX200&nbsp;Hardware"), std::string::npos);

    adapter.page = sim::PageKind::Router;
    answer = sim::LegacyAnswer(adapter);
    EXPECT_EQ(answer.body.find("LX200"), std::string::npos);
    EXPECT_EQ(answer.body.find("MAC"), std::string::npos);

    adapter.page = sim::PageKind::NotFound;
    adapter.status = 200;
    answer = sim::LegacyAnswer(adapter);
    EXPECT_EQ(answer.status, 200);
    EXPECT_NE(answer.body.find("File not found"), std::string::npos);

    adapter.page = sim::PageKind::Error;
    adapter.status = 404;
    answer = sim::LegacyAnswer(adapter);
    EXPECT_EQ(answer.status, 404);
    std::string upper = answer.body;
    for (auto& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(upper.find("FILE NOT FOUND"), std::string::npos) << answer.body;
}

TEST(ContentTest, Lx400DocumentsCarryTheirMembers)
{
    sim::Lx400Adapter adapter;
    adapter.address = "127.0.0.4";
    adapter.manufacturer = {sim::JsonMember::Kind::Text, "Voltara"};
    adapter.mac = {sim::JsonMember::Kind::Text, "00:0A:9C:40:00:00"};
    adapter.location = {sim::JsonMember::Kind::Text, "B\xC3\xBCro \"2\"\n"};
    adapter.topMac = {sim::JsonMember::Kind::Text, "00:0A:9C:40:00:99"};
    Json::Value info, config;
    ASSERT_TRUE(Parse(sim::SystemInfoDocument(adapter), info));
    EXPECT_EQ(info["name"].asString(), "LX400");
    EXPECT_EQ(info["version"].asString(), "V1.20.0");
    EXPECT_EQ(info["manufacturer"].asString(), "Voltara");
    EXPECT_EQ(info["location"].asString(), "B\xC3\xBCro \"2\"\n");
    // Non-ASCII stays UTF-8 in the document instead of turning into \u escapes.
    EXPECT_NE(sim::SystemInfoDocument(adapter).find("B\xC3\xBCro"), std::string::npos);
    ASSERT_TRUE(Parse(sim::NetworkConfigDocument(adapter), config));
    EXPECT_EQ(config["ipv4"]["mac"].asString(), "00:0A:9C:40:00:00");
    EXPECT_EQ(config["mac"].asString(), "00:0A:9C:40:00:99");
}

TEST(ContentTest, Lx400DocumentsFollowTheirSwitches)
{
    sim::Lx400Adapter adapter;
    adapter.manufacturer = {sim::JsonMember::Kind::Null, ""};
    adapter.location = {sim::JsonMember::Kind::Missing, ""};
    adapter.mac = {sim::JsonMember::Kind::Text, "AA"};
    adapter.topMac = {sim::JsonMember::Kind::Text, "BB"};
    EXPECT_EQ(sim::SystemInfoDocument(adapter),
              R"({"version":"V1.20.0","name":"LX400","manufacturer":null,"uptime":12345})");
    EXPECT_EQ(sim::NetworkConfigDocument(adapter), R"({"ipv4":{"mac":"AA"},"mac":"BB"})");
    adapter.name.text = "quote\"d";
    EXPECT_NE(sim::SystemInfoDocument(adapter).find(R"("name":"quote\"d")"), std::string::npos);
    adapter.name.kind = sim::JsonMember::Kind::Array;
    EXPECT_NE(sim::SystemInfoDocument(adapter).find(R"("name":["quote\"d"])"), std::string::npos);
    adapter.config = sim::DocumentShape::Unparsable;
    Json::Value root;
    EXPECT_FALSE(Parse(sim::NetworkConfigDocument(adapter), root));
}

TEST(ContentTest, Lx400MemberKinds)
{
    using Kind = sim::JsonMember::Kind;
    const std::pair<Kind, Json::ValueType> kinds[] = {
        {Kind::Null, Json::nullValue},    {Kind::Array, Json::arrayValue},   {Kind::Number, Json::intValue},
        {Kind::True, Json::booleanValue}, {Kind::Object, Json::objectValue}, {Kind::Text, Json::stringValue}};
    for (const auto& [kind, type] : kinds) {
        sim::Lx400Adapter adapter;
        adapter.name = {kind, ""};
        adapter.mac = {kind, ""};
        Json::Value info, config;
        ASSERT_TRUE(Parse(sim::SystemInfoDocument(adapter), info));
        ASSERT_TRUE(Parse(sim::NetworkConfigDocument(adapter), config));
        EXPECT_TRUE(info.isMember("name"));
        EXPECT_EQ(info["name"].type(), type);
        EXPECT_EQ(config["ipv4"]["mac"].type(), type);
    }
    sim::Lx400Adapter adapter;
    adapter.name = {Kind::Missing, ""};
    adapter.ipv4 = {Kind::Missing, ""};
    Json::Value info, config;
    ASSERT_TRUE(Parse(sim::SystemInfoDocument(adapter), info));
    ASSERT_TRUE(Parse(sim::NetworkConfigDocument(adapter), config));
    EXPECT_FALSE(info.isMember("name"));
    EXPECT_TRUE(info.isMember("version"));
    EXPECT_FALSE(config.isMember("ipv4"));
    adapter.ipv4 = {Kind::Text, "10.0.0.1"};
    ASSERT_TRUE(Parse(sim::NetworkConfigDocument(adapter), config));
    EXPECT_TRUE(config["ipv4"].isString());
}

TEST(ContentTest, Lx400DocumentShapes)
{
    sim::Lx400Adapter adapter;
    adapter.depth = 5000;
    Json::Value root;
    adapter.info = sim::DocumentShape::Array;
    ASSERT_TRUE(Parse(sim::SystemInfoDocument(adapter), root));
    ASSERT_TRUE(root.isArray());
    EXPECT_EQ(root[0]["name"].asString(), "LX400");
    adapter.info = sim::DocumentShape::Scalar;
    ASSERT_TRUE(Parse(sim::SystemInfoDocument(adapter), root));
    EXPECT_TRUE(root.isIntegral());
    for (const auto shape : {sim::DocumentShape::Unparsable, sim::DocumentShape::Empty, sim::DocumentShape::Nested}) {
        adapter.info = adapter.config = shape;
        EXPECT_FALSE(Parse(sim::SystemInfoDocument(adapter), root));
        EXPECT_FALSE(Parse(sim::NetworkConfigDocument(adapter), root));
    }
    EXPECT_EQ(sim::SystemInfoDocument(adapter), std::string(5000, '['));
    adapter.malformedLoginBody = true;
    EXPECT_FALSE(Parse(sim::LoginSuccessBody(adapter), root));
    adapter.malformedLoginBody = false;
    EXPECT_TRUE(Parse(sim::LoginSuccessBody(adapter), root));
}

TEST(ContentTest, LoginStatus)
{
    sim::Lx400Adapter adapter;
    const std::pair<std::string, int> cases[] = {
        {R"({"userName":"admin","password":"lx400-dflt"})", 200},
        {R"({"password":"lx400-dflt","userName":"admin","extra":1})", 200},
        {R"({"userName":"admin","password":"wrong"})", 401},
        {R"({"userName":"Admin","password":"lx400-dflt"})", 401},
        {R"({"userName":"admin"})", 401},
        {R"({"userName":"admin","password":7})", 401},
        {R"(["admin","lx400-dflt"])", 401},
        {R"("admin")", 401},
        {R"({"userName":"admin","password":"a"b"})", 400},
        {"", 400},
        {"{", 400},
        {std::string(100000, '['), 400},
    };
    for (const auto& [body, status] : cases)
        EXPECT_EQ(sim::LoginStatus(adapter, body), status) << body.substr(0, 60);
    adapter.anyLogin = true;
    EXPECT_EQ(sim::LoginStatus(adapter, R"({"userName":"x","password":"y"})"), 200);
    EXPECT_EQ(sim::LoginStatus(adapter, "{"), 400);
}

TEST(ContentTest, VendorAnswers)
{
    sim::Network network;
    network.latest = {{"7/16", "4.30"}, {"LX400/12", "1.80"}, {"17/*", "4.40"}, {"LX400 Pro/", "2.01"}};
    auto answer = sim::VendorAnswer(network, "426", "16", "7");
    EXPECT_EQ(answer.status, 200);
    EXPECT_NE(answer.body.find("Your version:</b></td><td class=\"mainb\">4.26<"), std::string::npos);
    EXPECT_NE(answer.body.find("Latest version:</b></td><td class=\"mainb\">4.30<"), std::string::npos);
    answer = sim::VendorAnswer(network, "178", "12", "LX400");
    EXPECT_NE(answer.body.find("Latest version:</b></td><td class=\"mainb\">1.80<"), std::string::npos);
    answer = sim::VendorAnswer(network, "426", "5", "17");
    EXPECT_NE(answer.body.find("Latest version:</b></td><td class=\"mainb\">4.40<"), std::string::npos);
    answer = sim::VendorAnswer(network, "201", "", "LX400 Pro");
    EXPECT_NE(answer.body.find("Latest version:</b></td><td class=\"mainb\">2.01<"), std::string::npos);
    // A known device with an OEM number that has no line is as unknown as an unknown device.
    const std::pair<const char*, const char*> unknowns[] = {{"7", "5"},        {"9", "16"}, {"LX4", "12"},
                                                            {"LX400 P", "12"}, {"", "16"},  {"LX400", ""}};
    for (const auto& [dev, oem] : unknowns) {
        answer = sim::VendorAnswer(network, "426", oem, dev);
        EXPECT_EQ(answer.status, 200) << dev;
        EXPECT_NE(answer.body.find("FILE NOT FOUND"), std::string::npos);
        EXPECT_EQ(answer.body.find("version:"), std::string::npos);
    }
}

TEST(ContentTest, BigPageBlocksJoinToOnePage)
{
    // Byte by byte as the reference, against blocks of several sizes that cross every boundary.
    for (const std::uint64_t size : {5ull, 59ull, 60ull, 61ull, 1000ull, 70001ull}) {
        std::string reference, block;
        for (std::uint64_t at = 0; at < size; ++at) {
            sim::BigPageBlock(size, at, 1, block);
            ASSERT_EQ(block.size(), 1u);
            reference += block;
        }
        for (const std::size_t step : {std::size_t{7}, std::size_t{68}, std::size_t{333}, std::size_t{65536}}) {
            std::string whole;
            for (std::uint64_t offset = 0; offset < size; offset += step) {
                sim::BigPageBlock(size, offset, step, block);
                whole += block;
            }
            EXPECT_EQ(whole, reference) << size << " in blocks of " << step;
        }
        if (size >= 60) {
            EXPECT_EQ(reference.rfind("<html>", 0), 0u);
            EXPECT_EQ(reference.substr(reference.size() - 15), "</body></html>\n");
            if (size >= 1000) {
                EXPECT_NE(reference.find("</p>\n<p>"), std::string::npos);
            }
        }
    }
    std::string block = "stale";
    sim::BigPageBlock(100, 100, 10, block);
    EXPECT_TRUE(block.empty());
}

TEST(SessionStoreTest, TokensFromCookies)
{
    sim::SessionStore store;
    const std::string token = store.Open();
    EXPECT_EQ(token.size(), 32u);
    EXPECT_NE(token, store.Open());
    const std::string name = std::string(sim::SessionStore::kCookieName) + "=";
    EXPECT_TRUE(store.Valid(name + token));
    EXPECT_TRUE(store.Valid("theme=dark; " + name + token + "; lang=de"));
    EXPECT_FALSE(store.Valid("x" + name + token));
    EXPECT_FALSE(store.Valid(name + token.substr(1)));
    EXPECT_FALSE(store.Valid(name));
    EXPECT_FALSE(store.Valid(""));
}

TEST(SessionStoreTest, KeepsOnlyTheNewestSessions)
{
    sim::SessionStore store;
    const std::string first = store.Open();
    std::string last;
    for (std::size_t i = 0; i < sim::SessionStore::kMaxSessions; ++i)
        last = store.Open();
    const std::string name = std::string(sim::SessionStore::kCookieName) + "=";
    EXPECT_FALSE(store.Valid(name + first));
    EXPECT_TRUE(store.Valid(name + last));
}

TEST(BasicAuthTest, MatchesOnlyTheExactCredentials)
{
    // "admin:lx400-dflt" and "admin:lx400" in Base64.
    EXPECT_TRUE(sim::BasicMatches("Basic YWRtaW46bHg0MDAtZGZsdA==", "admin", "lx400-dflt"));
    EXPECT_FALSE(sim::BasicMatches("Basic YWRtaW46bHg0MDA=", "admin", "lx400-dflt"));
    EXPECT_TRUE(sim::BasicMatches("Basic YWRtaW46bHg0MDA=", "admin", "lx400"));
    EXPECT_FALSE(sim::BasicMatches("Bearer YWRtaW46bHg0MDA=", "admin", "lx400"));
    EXPECT_FALSE(sim::BasicMatches("Basic YWRtaW46bHg0MDA", "admin", "lx400"));
    EXPECT_FALSE(sim::BasicMatches("Basic YWRt!W46bHg0MDA=", "admin", "lx400"));
    EXPECT_FALSE(sim::BasicMatches("", "", ""));
}

TEST(StatsTest, CountsConnectionsPeaksAndPaths)
{
    sim::Stats stats;
    auto& a = stats.For("127.0.0.2");
    auto& b = stats.For("127.0.0.3");
    EXPECT_EQ(&a, &stats.For("127.0.0.2"));
    stats.Opened(a);
    stats.Opened(a);
    stats.Opened(b);
    stats.Closed(a);
    stats.Closed(a);
    stats.Opened(a);
    stats.Requested(a, "/net.shtml");
    stats.Requested(a, "/net.shtml");
    stats.Requested(b, "/api/login");
    Json::Value root;
    ASSERT_TRUE(Parse(stats.Json(), root));
    EXPECT_EQ(root["connections"].asInt(), 4);
    EXPECT_EQ(root["peakConnections"].asInt(), 3);
    EXPECT_EQ(root["hosts"]["127.0.0.2"]["connections"].asInt(), 3);
    EXPECT_EQ(root["hosts"]["127.0.0.2"]["peakConnections"].asInt(), 2);
    EXPECT_EQ(root["hosts"]["127.0.0.2"]["requests"]["/net.shtml"].asInt(), 2);
    EXPECT_EQ(root["hosts"]["127.0.0.3"]["peakConnections"].asInt(), 1);
    EXPECT_EQ(root["hosts"]["127.0.0.3"]["requests"]["/api/login"].asInt(), 1);
}

} // namespace
