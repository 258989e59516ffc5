#include "ui/program_start.h"

#include <gtest/gtest.h>

namespace {

using trawlix::ui::DisplayEnvironment;
using trawlix::ui::NoDisplayLine;

TEST(ProgramStart, TheLineWithoutADisplayNamesTheDisplayTried)
{
    const struct
    {
        DisplayEnvironment environment;
        const char* line;
    } cases[] = {
        {{"", "", ""}, "trawlix: no display to open: DISPLAY is not set (trawlix-scan searches without one)"},
        {{"", ":5", ""}, "trawlix: cannot open the X display \":5\""},
        {{"xcb", "host:0.0", "wayland-1"}, "trawlix: cannot open the X display \"host:0.0\""},
        {{"", ":5", "wayland-1"}, "trawlix: cannot open the X display \":5\" or the Wayland display \"wayland-1\""},
        {{"wayland", ":5", ""}, "trawlix: cannot open the Wayland display \"wayland-0\""},
        {{"eglfs", ":5", ""}, "trawlix: the Qt platform \"eglfs\" could not be started"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NoDisplayLine(c.environment), c.line);
}

TEST(ProgramStart, OnlyHelpAndVersionAnswerBeforeTheWindow)
{
    EXPECT_EQ(trawlix::ui::EarlyAnswer({"-platform", "offscreen"}), std::nullopt);
    EXPECT_EQ(trawlix::ui::EarlyAnswer({}), std::nullopt);
    EXPECT_EQ(trawlix::ui::EarlyAnswer({"-style", "fusion", "--version"})->rfind("trawlix ", 0), 0u);
    EXPECT_EQ(trawlix::ui::EarlyAnswer({"--help"})->rfind("Usage: trawlix ", 0), 0u);
    // Qt's option values come from its arguments before the environment.
    const DisplayEnvironment given = trawlix::ui::DisplayEnvironmentOf({"-platform", "xcb", "--display=:9"});
    EXPECT_EQ(given.platform, "xcb");
    EXPECT_EQ(given.x11Display, ":9");
}

} // namespace
