#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/trace_config_file.h"
#include "support/profile/profile.h"
#include "support/trace/xdbg_testing.h"
#include "testsupport/temp_folder.h"

using testsupport::TempFolder;

namespace {

// Routes the trace's debugger sink into `lines` for the life of the object.
class TraceCapture final
{
public:
    explicit TraceCapture(const TempFolder& folder)
    {
        xdbg_testing::Setup setup;
        setup.configSource = app::TraceConfigFile(folder.WriteFile("debug.ini", "[Debug]\nMode=2\n").string());
        setup.debuggerOutput = [this](const char* text) { lines.emplace_back(text); };
        xdbg_testing::ResetForTesting(std::move(setup));
    }
    ~TraceCapture() { xdbg_testing::ResetForTesting({}); }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    std::vector<std::string> lines;
};

TEST(ProfileTrace, OpenOnAnotherPathIsTraced)
{
    TempFolder folder;
    TraceCapture trace(folder);
    const auto first = folder.WriteFile("a.ini", "[a]\n");
    const auto second = folder.WriteFile("b.ini", "[b]\n");
    Profile profile;
    ASSERT_EQ(_open_profile(&profile, first.c_str(), 1), 1);
    EXPECT_EQ(_open_profile(&profile, second.c_str(), 1), 0);
    EXPECT_EQ(_close_profile(&profile), 1);
    ASSERT_EQ(trace.lines.size(), 1u);
    EXPECT_EQ(trace.lines[0], "ERR: _open_profile: try to open file <" + second.string() + ">, but file <" +
                                  first.string() + "> is opened in this profile!\n");
}

TEST(ProfileTrace, DumpTracesLinesAsPlainText)
{
    TempFolder folder;
    TraceCapture trace(folder);
    const auto path = folder.WriteFile("d.ini", "free %s %n text\n[a]\nrate=100%d\n");
    Profile profile;
    ASSERT_EQ(_open_profile(&profile, path.c_str(), 1), 1);
    EXPECT_EQ(_dump_profile(&profile), 4);
    EXPECT_EQ(trace.lines, (std::vector<std::string>{"[@$tmp_topic$@]\n", "@$tmp_key$@00000=free %s %n text\n", "[a]\n",
                                                     "rate=100%d\n"}));
    EXPECT_EQ(_close_profile(&profile), 1);
}

} // namespace
