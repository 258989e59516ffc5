#include "modal_answer.h"

#include "resources/string_table.h"
#include "ui/framework/data_exchange.h"
#include "ui/framework/template_dialog.h"

#include <QCheckBox>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace {

using namespace trawlix;
using namespace trawlix::ui;

// The settings template with a range check on edit 1106, as a dialog of the program would bind it.
class RangeDialog final : public TemplateDialog
{
public:
    RangeDialog() : TemplateDialog(LoadDialogTemplate(129, Language::English)) {}
    int lastHost = 10;
    int autoScan = 0;
    std::string user = "admin";

protected:
    void DoDataExchange(DataExchange& dx) override
    {
        dx.Int(1106, lastHost);
        dx.MinMax(lastHost, 1, 254);
        dx.Check(1006, autoScan);
        dx.Text(1013, user);
    }
};

class DataExchangeTest : public ::testing::Test
{
protected:
    void TearDown() override { SetLanguage(Language::English); }
};

TEST_F(DataExchangeTest, WritesAndReadsBackMembers)
{
    RangeDialog dialog;
    dialog.autoScan = 1;
    ASSERT_TRUE(dialog.UpdateData(false));
    EXPECT_EQ(dialog.ControlAs<QLineEdit>(1106)->text(), QStringLiteral("10"));
    EXPECT_TRUE(dialog.ControlAs<QCheckBox>(1006)->isChecked());
    EXPECT_EQ(dialog.ControlAs<QLineEdit>(1013)->text(), QStringLiteral("admin"));
    dialog.ControlAs<QLineEdit>(1106)->setText(QStringLiteral("  -0 "));
    dialog.ControlAs<QLineEdit>(1106)->setText(QStringLiteral(" 254 "));
    dialog.ControlAs<QCheckBox>(1006)->setChecked(false);
    dialog.ControlAs<QLineEdit>(1013)->setText(QStringLiteral("Jörg"));
    ASSERT_TRUE(dialog.UpdateData(true));
    EXPECT_EQ(dialog.lastHost, 254);
    EXPECT_EQ(dialog.autoScan, 0);
    EXPECT_EQ(dialog.user, "Jörg");
}

TEST_F(DataExchangeTest, TextThatIsNoIntegerStopsTheReadBackWithTheMessage)
{
    RangeDialog dialog;
    dialog.show();
    dialog.ControlAs<QCheckBox>(1006)->setChecked(true);
    for (const char* text : {"abc", "", "12x", "1 2", "99999999999"}) {
        dialog.ControlAs<QLineEdit>(1106)->setText(QString::fromLatin1(text));
        auto seen = AnswerMessageBoxes();
        EXPECT_FALSE(dialog.UpdateData(true)) << text;
        EXPECT_EQ(seen->count, 1) << text;
        EXPECT_EQ(seen->caption, QStringLiteral("Trawlix"));
        EXPECT_EQ(seen->text, QStringLiteral("Enter an integer.")) << text;
        EXPECT_EQ(dialog.focusWidget(), dialog.Control(1106)) << text;
        // The steps after the failure were left undone.
        EXPECT_EQ(dialog.autoScan, 0) << text;
        EXPECT_EQ(dialog.lastHost, 10) << text;
    }
}

TEST_F(DataExchangeTest, OutOfRangeValueGivesTheBoundsInTheUserInterfaceLanguage)
{
    RangeDialog dialog;
    dialog.show();
    dialog.Control(1013)->setFocus();
    dialog.ControlAs<QLineEdit>(1106)->setText(QStringLiteral("255"));
    auto seen = AnswerMessageBoxes();
    EXPECT_FALSE(dialog.UpdateData(true));
    EXPECT_EQ(seen->text, QStringLiteral("Enter an integer between 1 and 254."));
    EXPECT_EQ(dialog.focusWidget(), dialog.Control(1106));

    SetLanguage(Language::German);
    dialog.ControlAs<QLineEdit>(1106)->setText(QStringLiteral("0"));
    EXPECT_FALSE(dialog.UpdateData(true));
    EXPECT_EQ(seen->text, QStringLiteral("Geben Sie eine ganze Zahl zwischen 1 und 254 ein."));
    dialog.ControlAs<QLineEdit>(1106)->setText(QStringLiteral("x"));
    EXPECT_FALSE(dialog.UpdateData(true));
    EXPECT_EQ(seen->text, QStringLiteral("Geben Sie eine ganze Zahl ein."));
    EXPECT_EQ(seen->count, 3);

    // Writing an out-of-range member into the controls shows nothing.
    dialog.lastHost = 999;
    EXPECT_TRUE(dialog.UpdateData(false));
    EXPECT_EQ(seen->count, 3);
}

TEST_F(DataExchangeTest, OkStaysOpenUntilTheChecksPass)
{
    RangeDialog dialog;
    auto seen = AnswerMessageBoxes();
    QMetaObject::invokeMethod(
        &dialog,
        [&] {
            // Opening wrote the member (10) into the edit; the user replaces it.
            EXPECT_EQ(dialog.ControlAs<QLineEdit>(1106)->text(), QStringLiteral("10"));
            dialog.ControlAs<QLineEdit>(1106)->setText(QStringLiteral("0"));
            dialog.accept(); // fails: stays open
            dialog.ControlAs<QLineEdit>(1106)->setText(QStringLiteral("20"));
            dialog.accept();
        },
        Qt::QueuedConnection);
    EXPECT_EQ(dialog.exec(), 1);
    EXPECT_EQ(seen->count, 1);
    EXPECT_EQ(dialog.lastHost, 20);
}

TEST(DialogIntegerTest, AcceptsOnlyASignedDecimalNumber)
{
    int value = 0;
    EXPECT_TRUE(ParseDialogInteger(QStringLiteral(" -17 "), value));
    EXPECT_EQ(value, -17);
    EXPECT_TRUE(ParseDialogInteger(QStringLiteral("2147483647"), value));
    EXPECT_EQ(value, 2147483647);
    EXPECT_TRUE(ParseDialogInteger(QStringLiteral("-2147483648"), value));
    EXPECT_EQ(value, -2147483647 - 1);
    for (const char* bad : {"2147483648", "-", "+", "0x10", "1e3", "١٢"})
        EXPECT_FALSE(ParseDialogInteger(QString::fromUtf8(bad), value)) << bad;
}

} // namespace
