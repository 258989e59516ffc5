#include "resources/string_table.h"
#include "ui/about_dialog.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

// The test program carries version data of its own (see CMakeLists.txt), unless it is built as
// the variant without any.
namespace {

using namespace trawlix;

QString LabelText(const CAboutDlg& dialog, int id)
{
    return dialog.ControlAs<QLabel>(id)->text();
}

#ifndef TRAWLIX_TEST_WITHOUT_VERSION_DATA

TEST(AboutTest, ShowsDescriptionVersionAndCopyrightOfTheOwnFile)
{
    CAboutDlg dialog;
    // The template's placeholders stand until the dialog opens.
    EXPECT_EQ(LabelText(dialog, 1005), QStringLiteral("Trawlix, Version 1.0"));
    dialog.show();
    EXPECT_EQ(LabelText(dialog, 1005), QStringLiteral("Trawlix - 2.0.0.6"));
    EXPECT_EQ(LabelText(dialog, 1006), QString::fromUtf8("Copyright © 2026 Orvanta & Söhne"));
    EXPECT_EQ(dialog.descriptionLine, QStringLiteral("Trawlix - 2.0.0.6"));
}

TEST(AboutTest, GermanTitleAndTheOkButtonCloses)
{
    SetLanguage(Language::German);
    CAboutDlg dialog;
    SetLanguage(Language::English);
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("Über Trawlix"));
    QMetaObject::invokeMethod(
        &dialog,
        [&] {
            EXPECT_EQ(LabelText(dialog, 1005), QStringLiteral("Trawlix - 2.0.0.6"));
            dialog.ControlAs<QPushButton>(1)->click();
        },
        Qt::QueuedConnection);
    EXPECT_EQ(dialog.exec(), 1);
}

#else

TEST(AboutTest, WithoutVersionDataTheLinesStayEmpty)
{
    CAboutDlg dialog;
    dialog.show();
    EXPECT_EQ(LabelText(dialog, 1005), QStringLiteral(" - "));
    EXPECT_EQ(LabelText(dialog, 1006), QString());
}

#endif

} // namespace
