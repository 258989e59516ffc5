// The Prometheus text of a search: read back by a parser of the format and checked by Prometheus'
// own promtool, with the texts a hostile adapter may send.
#include "cli/prometheus_output.h"
#include "resources/string_table.h"
#include "scan/record/record_format.h"
#include "testsupport/child_process.h"
#include "testsupport/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using namespace std::chrono_literals;

struct Sample
{
    std::string name;
    std::map<std::string, std::string> labels;
    std::string value;
};

// Reads the text format back: every line a comment or a sample, label values unescaped. A line
// that is neither fails the test.
std::vector<Sample> Parse(const std::string& text)
{
    std::vector<Sample> samples;
    std::size_t at = 0;
    EXPECT_TRUE(text.empty() || text.back() == '\n');
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        if (line.rfind("# HELP ", 0) == 0 || line.rfind("# TYPE ", 0) == 0)
            continue;
        Sample sample;
        std::size_t i = line.find_first_of("{ ");
        sample.name = line.substr(0, i);
        if (i != std::string::npos && line[i] == '{') {
            ++i;
            while (i < line.size() && line[i] != '}') {
                const std::size_t equals = line.find("=\"", i);
                EXPECT_NE(equals, std::string::npos) << line;
                if (equals == std::string::npos)
                    return samples;
                const std::string name = line.substr(i, equals - i);
                std::string value;
                for (i = equals + 2; i < line.size() && line[i] != '"'; ++i) {
                    if (line[i] == '\\') {
                        const char next = line[++i];
                        EXPECT_TRUE(next == '\\' || next == '"' || next == 'n') << line;
                        value += next == 'n' ? '\n' : next;
                    } else {
                        value += line[i];
                    }
                }
                sample.labels[name] = value;
                i += 1;
                if (i < line.size() && line[i] == ',')
                    ++i;
            }
            ++i;
        }
        EXPECT_TRUE(i < line.size() && line[i] == ' ') << line;
        sample.value = i < line.size() ? line.substr(i + 1) : "";
        samples.push_back(sample);
    }
    return samples;
}

std::vector<Sample> Named(const std::vector<Sample>& samples, const std::string& name)
{
    std::vector<Sample> out;
    for (const Sample& s : samples)
        if (s.name == name)
            out.push_back(s);
    return out;
}

// promtool's verdict on a text; skipped where Prometheus is not installed.
std::string Promtool(const std::string& text, bool* available)
{
    *available = access("/usr/bin/promtool", X_OK) == 0;
    if (!*available)
        return {};
    testsupport::TempFolder folder;
    const auto file = folder.WriteFile("metrics.prom", text);
    testsupport::ChildProcess promtool("/bin/sh",
                                       {"-c", "exec /usr/bin/promtool check metrics < '" + file.string() + "'"});
    EXPECT_TRUE(promtool.Wait(30s));
    return promtool.ExitCode() == 0 ? std::string("ok") : promtool.Output() + promtool.Errors();
}

DeviceRecord Legacy(std::string ip, std::string location = "Rack B")
{
    DeviceRecord r;
    r.found = true;
    r.ip = std::move(ip);
    r.model = "LX300 16MB";
    r.firmware = "4.26";
    r.oem = "16";
    r.manufacturer = "Voltara (16)";
    r.mac = "00:0A:9C:12:34:11";
    r.location = std::move(location);
    r.updateState = 1;
    r.latestFirmware = "4.30";
    r.updateText = "Available (4.30)";
    return r;
}

const SearchSummary kSummary{254, 3.25, true, 1700000000};

TEST(PrometheusOutputTest, HostileTextsStayLabelValuesThatPromtoolAccepts)
{
    trawlix::SetLanguage(trawlix::Language::English);
    struct Case
    {
        std::string location;
        bool jsonApi;
        std::string shown; // what the label says
    };
    const std::vector<Case> cases = {
        {"Rack \"B\" \\ 2", false, "Rack \"B\" \\ 2"},
        {"Hall\n3\r\tnorth", true, "Hall 3  north"},
        {std::string("nul\0inside", 10), true, "nul inside"},
        {"\x1B[31mred\x1B[0m", true, " [31mred [0m"},
        {"S\xFC"
         "d",
         false,
         "S\xC3\xBC"
         "d"},                                                            // Latin-1 from a legacy page
        {"bad \xFF\xFE utf8", true, "bad \xEF\xBF\xBD\xEF\xBF\xBD utf8"}, // invalid bytes from an LX400
        {"&quot;quoted&quot; &amp; \\n", false, "\"quoted\" & \\n"},
        {"\xC2\x85next line", true, " next line"},
        {"} 1\nevil_metric 1", true, "} 1 evil_metric 1"},
        {std::string(300, 'x'), true, std::string(kMaxLabelBytes, 'x')},
        {std::string(255, 'x') + "\xC3\xBC", true, std::string(255, 'x')}, // never cut inside a character
        {"", false, ""},
    };
    std::vector<DeviceRecord> records;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        records.push_back(Legacy("10.0.0." + std::to_string(i + 1), cases[i].location));
        records.back().jsonApi = cases[i].jsonApi;
        records.back().model = cases[i].location; // the same through every label
    }
    const std::string text = FormatPrometheus(records, kSummary);
    const std::vector<Sample> info = Named(Parse(text), "trawlix_adapter_info");
    ASSERT_EQ(info.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Sample& s = info[i];
        EXPECT_EQ(s.labels.at("ip"), "10.0.0." + std::to_string(i + 1));
        EXPECT_EQ(s.labels.at("location"), cases[i].shown) << i;
        EXPECT_EQ(s.labels.at("model"), cases[i].shown) << i;
        EXPECT_EQ(s.value, "1");
    }
    bool available = false;
    const std::string verdict = Promtool(text, &available);
    if (!available)
        GTEST_SKIP() << "promtool is not installed (Debian package prometheus)";
    EXPECT_EQ(verdict, "ok") << text;
}

TEST(PrometheusOutputTest, OneSeriesSetPerAdapterAndTheSearchItself)
{
    trawlix::SetLanguage(trawlix::Language::German);
    DeviceRecord upToDate = Legacy("192.168.77.40");
    upToDate.updateState = 0;
    upToDate.updateText = trawlix::LoadString(trawlix::TextId::UpToDate);
    DeviceRecord noAnswer = Legacy("192.168.77.9");
    noAnswer.updateState = 0;
    noAnswer.updateText = trawlix::LoadString(trawlix::TextId::InfoNotAvailable);
    DeviceRecord old = Legacy("192.168.77.23");
    old.updateState = 2;
    DeviceRecord refused;
    refused.found = true;
    refused.jsonApi = true;
    refused.ip = "192.168.77.51";
    refused.model = trawlix::LoadString(trawlix::TextId::AccessDenied);
    DeviceRecord notFound;
    notFound.ip = "192.168.77.99";
    const std::vector<DeviceRecord> records = {Legacy("192.168.77.100"), upToDate, noAnswer, old, refused, notFound,
                                               Legacy("192.168.77.100")};
    const std::string text = FormatPrometheus(records, kSummary);
    // The list format is the adapters' part of it.
    EXPECT_EQ(text.rfind(FormatRecords(records, RecordFormat::Prometheus), 0), 0u);
    EXPECT_EQ(FormatRecords(records, RecordFormat::Prometheus).find("trawlix_search_"), std::string::npos);
    const std::vector<Sample> samples = Parse(text);
    trawlix::SetLanguage(trawlix::Language::English);

    // In address order, each address once, a refused adapter without the "Access denied!" model.
    const std::vector<Sample> info = Named(samples, "trawlix_adapter_info");
    std::string order;
    for (const Sample& s : info)
        order += s.labels.at("ip") + "=" + s.labels.at("family") + ":" + s.labels.at("model") + ";";
    EXPECT_EQ(order, "192.168.77.9=legacy:LX300 16MB;192.168.77.23=legacy:LX300 16MB;"
                     "192.168.77.40=legacy:LX300 16MB;192.168.77.51=lx400:;192.168.77.100=legacy:LX300 16MB;");
    EXPECT_EQ(info[0].labels.size(), 8u);

    std::map<std::string, std::string> state;
    for (const Sample& s : Named(samples, "trawlix_adapter_update_state")) {
        EXPECT_TRUE(s.value == "0" || s.value == "1");
        if (s.value == "1")
            state[s.labels.at("ip")] += s.labels.at("state");
    }
    EXPECT_EQ(Named(samples, "trawlix_adapter_update_state").size(), 4u * info.size());
    EXPECT_EQ(state, (std::map<std::string, std::string>{{"192.168.77.9", "unknown"},
                                                         {"192.168.77.23", "not_possible"},
                                                         {"192.168.77.40", "up_to_date"},
                                                         {"192.168.77.51", "unknown"},
                                                         {"192.168.77.100", "available"}}));
    const std::vector<Sample> refusals = Named(samples, "trawlix_adapter_login_refused");
    ASSERT_EQ(refusals.size(), 1u);
    EXPECT_EQ(refusals[0].labels.at("ip"), "192.168.77.51");

    std::map<std::string, std::string> search;
    for (const Sample& s : samples)
        if (s.name.rfind("trawlix_search_", 0) == 0)
            search[s.name] = s.value;
    EXPECT_EQ(search, (std::map<std::string, std::string>{{"trawlix_search_addresses", "254"},
                                                          {"trawlix_search_adapters", "5"},
                                                          {"trawlix_search_login_refusals", "1"},
                                                          {"trawlix_search_duration_seconds", "3.25"},
                                                          {"trawlix_search_success", "1"},
                                                          {"trawlix_search_timestamp_seconds", "1700000000"}}));
}

TEST(PrometheusOutputTest, AFailedSearchKeepsTheAdaptersOfThePreviousFile)
{
    trawlix::SetLanguage(trawlix::Language::English);
    DeviceRecord refused;
    refused.found = true;
    refused.jsonApi = true;
    refused.ip = "10.0.0.9";
    refused.model = "Access denied!";
    const std::string previous = FormatPrometheus({Legacy("10.0.0.1"), Legacy("10.0.0.2"), refused}, kSummary);
    const SearchSummary failed{254, 0.5, true, 1700000900};
    const std::string text = FormatPrometheusAfterFailure(previous, failed);

    const std::vector<Sample> before = Parse(previous);
    const std::vector<Sample> after = Parse(text);
    for (const char* name : {"trawlix_adapter_info", "trawlix_adapter_update_state", "trawlix_adapter_login_refused"})
        EXPECT_EQ(Named(after, name).size(), Named(before, name).size()) << name;
    EXPECT_EQ(Named(after, "trawlix_search_success")[0].value, "0");
    EXPECT_EQ(Named(after, "trawlix_search_adapters")[0].value, "3");
    EXPECT_EQ(Named(after, "trawlix_search_login_refusals")[0].value, "1");
    EXPECT_EQ(Named(after, "trawlix_search_timestamp_seconds")[0].value, "1700000900");
    // A failure after a failure keeps them still; without a previous file there are none.
    EXPECT_EQ(FormatPrometheusAfterFailure(text, failed), text);
    EXPECT_TRUE(Named(Parse(FormatPrometheusAfterFailure("", failed)), "trawlix_adapter_info").empty());
    // A previous file cut short (by a full disk, say) loses its broken last line, not the file.
    const std::string cut = previous.substr(0, previous.find("10.0.0.2") + 4);
    const std::vector<Sample> fromCut = Parse(FormatPrometheusAfterFailure(cut, failed));
    EXPECT_EQ(Named(fromCut, "trawlix_adapter_info").size(), 1u);
    EXPECT_EQ(Named(fromCut, "trawlix_search_adapters")[0].value, "1");

    bool available = false;
    const std::string verdict = Promtool(text, &available);
    if (available) {
        EXPECT_EQ(verdict, "ok") << text;
    }
}

} // namespace
