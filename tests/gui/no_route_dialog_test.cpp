#include "app/host_route.h"
#include "resources/string_table.h"
#include "ui/no_route_dialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace trawlix;

// Opens the dialog, lets `act` work on it once it runs, and returns how it ended.
template <class Act> int RunNoRoute(CNoRoute& dialog, Act act)
{
    QMetaObject::invokeMethod(
        &dialog, [&] { act(); }, Qt::QueuedConnection);
    return dialog.exec();
}

TEST(NoRouteTest, OkTakesTheTickedBox)
{
    CNoRoute dialog;
    const int result = RunNoRoute(dialog, [&] {
        EXPECT_TRUE(dialog.ControlAs<QPushButton>(2)->isHidden());
        EXPECT_FALSE(dialog.ControlAs<QCheckBox>(1010)->isChecked());
        QTest::mouseClick(dialog.ControlAs<QCheckBox>(1010), Qt::LeftButton);
        dialog.ControlAs<QPushButton>(1)->click();
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(dialog.dontShowAgain, 1);
}

TEST(NoRouteTest, EscapeAndTheCloseBoxLeaveTheChoiceAlone)
{
    {
        CNoRoute dialog;
        const int result = RunNoRoute(dialog, [&] {
            dialog.ControlAs<QCheckBox>(1010)->setChecked(true);
            QTest::keyClick(&dialog, Qt::Key_Escape);
        });
        EXPECT_EQ(result, 2);
        EXPECT_EQ(dialog.dontShowAgain, 0);
    }
    {
        CNoRoute dialog;
        const int result = RunNoRoute(dialog, [&] {
            dialog.ControlAs<QCheckBox>(1010)->setChecked(true);
            dialog.close();
        });
        EXPECT_EQ(result, 2);
        EXPECT_EQ(dialog.dontShowAgain, 0);
    }
}

TEST(NoRouteTest, OpensWithTheCurrentChoiceAndUntickingCounts)
{
    CNoRoute dialog;
    dialog.dontShowAgain = 1;
    const int result = RunNoRoute(dialog, [&] {
        EXPECT_TRUE(dialog.ControlAs<QCheckBox>(1010)->isChecked());
        dialog.ControlAs<QCheckBox>(1010)->setChecked(false);
        QTest::keyClick(&dialog, Qt::Key_Return);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(dialog.dontShowAgain, 0);
}

TEST(NoRouteTest, GermanTexts)
{
    SetLanguage(Language::German);
    CNoRoute dialog;
    SetLanguage(Language::English);
    EXPECT_EQ(dialog.ControlAs<QCheckBox>(1010)->text(), QStringLiteral("&Diesen Hinweis nicht wieder anzeigen."));
    EXPECT_EQ(dialog.Control(1009)->property("imageId").toInt(), 144);
}

TEST(NoRouteTest, ShownOnlyWhenEveryConditionHolds)
{
    for (int bits = 0; bits < 16; ++bits) {
        const bool found = (bits & 1) != 0;
        const bool searched = (bits & 2) != 0;
        const bool administrator = (bits & 4) != 0;
        const bool suppressed = (bits & 8) != 0;
        EXPECT_EQ(ShouldShowNoRoute(found, searched, administrator, suppressed), bits == 2)
            << "found " << found << " searched " << searched << " administrator " << administrator << " suppressed "
            << suppressed;
    }
}

} // namespace
