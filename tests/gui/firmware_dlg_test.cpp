// The firmware dialog as the Update Firmware command shows it.
#include "resources/string_table.h"
#include "ui/firmware_dlg.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// Runs `dlg` modally and, once it shows, lets `act` press something.
int RunAnswered(CFirmwareDlg& dlg, const std::function<void(CFirmwareDlg&)>& act)
{
    QTimer::singleShot(0, &dlg, [&dlg, act] { act(dlg); });
    return dlg.exec();
}

TEST(FirmwareDialog, OnlyTheChosenButtonsShowAndEachGivesItsResult)
{
    trawlix::SetLanguage(trawlix::Language::English);
    CFirmwareDlg updateOnly(QStringLiteral("Update firmware"), QString(), QStringLiteral("Update to firmware 4.20"),
                            QStringLiteral("Warning!"), false, true, 144);
    const int result = RunAnswered(updateOnly, [](CFirmwareDlg& dlg) {
        EXPECT_FALSE(dlg.Control(1)->isVisible());
        EXPECT_TRUE(dlg.Control(1007)->isVisible());
        EXPECT_TRUE(dlg.Control(2)->isVisible());
        EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Update firmware"));
        EXPECT_EQ(dlg.ControlAs<QPushButton>(1007)->text(), QStringLiteral("Update to firmware 4.20"));
        EXPECT_EQ(dlg.ControlAs<QLabel>(1008)->text(), QStringLiteral("Warning!"));
        QTest::mouseClick(dlg.ControlAs<QPushButton>(1007), Qt::LeftButton);
    });
    EXPECT_EQ(result, 1007);

    CFirmwareDlg both(QStringLiteral("t"), QStringLiteral("Download firmware 4.30"), QStringLiteral("u"),
                      QStringLiteral("m"), true, true, 143);
    EXPECT_EQ(
        RunAnswered(both, [](CFirmwareDlg& dlg) { QTest::mouseClick(dlg.ControlAs<QPushButton>(1), Qt::LeftButton); }),
        1);
    CFirmwareDlg escaped(QStringLiteral("t"), QStringLiteral("d"), QString(), QStringLiteral("m"), true, false, 143);
    EXPECT_EQ(RunAnswered(escaped, [](CFirmwareDlg& dlg) { QTest::keyClick(&dlg, Qt::Key_Escape); }), 2);
}

TEST(FirmwareDialog, UnknownIconKeepsTheTemplatesSign)
{
    CFirmwareDlg dlg(QStringLiteral("t"), QStringLiteral("d"), QString(), QStringLiteral("m"), true, false, 9999);
    RunAnswered(dlg, [](CFirmwareDlg& d) {
        const auto* icon = d.ControlAs<QLabel>(1009);
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(icon->property("imageId").toInt(), 143);
        d.reject();
    });
}

} // namespace
