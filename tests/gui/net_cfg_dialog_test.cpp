#include "modal_answer.h"

#include "resources/string_table.h"
#include "ui/framework/controls.h"
#include "ui/net_cfg_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <gtest/gtest.h>

namespace {

using namespace trawlix;
using namespace trawlix::ui;

ScanSettings SampleSettings()
{
    ScanSettings settings;
    settings.subnet = "192.168.1.*";
    settings.storedSubnets = {"172.16.5.*", "10.0.0.*"};
    settings.firstHost = 20;
    settings.lastHost = 30;
    settings.scanDefaultAddress = 1;
    settings.scanRange = 1;
    settings.autoScan = 0;
    settings.user = "admin";
    settings.password = "secret";
    settings.useHttps = 1;
    return settings;
}

// Every message box shown from now on, in order, each answered as AnswerMessageBoxes does.
std::shared_ptr<std::vector<QString>> RecordMessageBoxes()
{
    auto texts = std::make_shared<std::vector<QString>>();
    auto* timer = new QTimer(qApp);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [texts, timer] {
        if (texts.use_count() == 1) {
            timer->deleteLater();
            return;
        }
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            texts->push_back(box->text());
            QAbstractButton* button = box->defaultButton();
            if (button == nullptr)
                button = box->escapeButton();
            if (button != nullptr)
                button->click();
            else
                box->reject();
        }
    });
    timer->start();
    return texts;
}

class NetCfgTest : public ::testing::Test
{
protected:
    void TearDown() override { SetLanguage(Language::English); }

    static IpAddressEdit* Address(const CNetCfg& dialog) { return dialog.ControlAs<IpAddressEdit>(1011); }
    static QLineEdit* LastHost(const CNetCfg& dialog) { return dialog.ControlAs<QLineEdit>(1106); }
    static SortedComboBox* Stored(const CNetCfg& dialog) { return dialog.ControlAs<SortedComboBox>(1095); }
    static void ClickOk(CNetCfg& dialog) { dialog.ControlAs<QPushButton>(1)->click(); }
};

TEST_F(NetCfgTest, OpeningFillsTheControlsAndSelectsTheSubnet)
{
    CNetCfg dialog(SampleSettings());
    dialog.show();
    EXPECT_EQ(Address(dialog)->Text(), QStringLiteral("192.168.1.20"));
    EXPECT_EQ(LastHost(dialog)->text(), QStringLiteral("30"));
    EXPECT_EQ(dialog.ControlAs<QLineEdit>(1013)->text(), QStringLiteral("admin"));
    EXPECT_EQ(dialog.ControlAs<QLineEdit>(1014)->text(), QStringLiteral("secret"));
    EXPECT_EQ(dialog.ControlAs<QLineEdit>(1014)->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(dialog.ControlAs<QCheckBox>(1004)->isChecked());
    EXPECT_FALSE(dialog.ControlAs<QCheckBox>(1006)->isChecked());
    // HTTPS passes through unseen.
    EXPECT_TRUE(dialog.ControlAs<QCheckBox>(1007)->isHidden());
    EXPECT_FALSE(dialog.ControlAs<QCheckBox>(1007)->isEnabled());

    // The subnet was not stored: it joins the sorted list and is selected.
    SortedComboBox* stored = Stored(dialog);
    ASSERT_EQ(stored->count(), 3);
    EXPECT_EQ(stored->itemText(0), QStringLiteral("10.0.0.*"));
    EXPECT_EQ(stored->itemText(1), QStringLiteral("172.16.5.*"));
    EXPECT_EQ(stored->itemText(2), QStringLiteral("192.168.1.*"));
    EXPECT_EQ(stored->currentText(), QStringLiteral("192.168.1.*"));
}

TEST_F(NetCfgTest, StoredSubnetIsSelectedWithoutAddingItAgain)
{
    ScanSettings settings = SampleSettings();
    settings.subnet = "172.16.5.*";
    CNetCfg dialog(settings);
    dialog.show();
    EXPECT_EQ(Stored(dialog)->count(), 2);
    EXPECT_EQ(Stored(dialog)->currentText(), QStringLiteral("172.16.5.*"));
    EXPECT_EQ(Address(dialog)->Text(), QStringLiteral("172.16.5.20"));
}

TEST_F(NetCfgTest, SearchOnSubnetEnablesTheNetworkControlsTogether)
{
    ScanSettings settings = SampleSettings();
    settings.scanRange = 0;
    CNetCfg dialog(settings);
    dialog.show();
    const std::vector<QWidget*> network = {dialog.Control(1095), dialog.Control(1011), dialog.Control(1106)};
    for (QWidget* control : network)
        EXPECT_FALSE(control->isEnabled());

    auto* searchOnSubnet = dialog.ControlAs<QCheckBox>(1005);
    QTest::mouseClick(searchOnSubnet, Qt::LeftButton);
    EXPECT_EQ(dialog.scanRange, 1);
    for (QWidget* control : network)
        EXPECT_TRUE(control->isEnabled());

    QTest::mouseClick(searchOnSubnet, Qt::LeftButton);
    EXPECT_EQ(dialog.scanRange, 0);
    for (QWidget* control : network)
        EXPECT_FALSE(control->isEnabled());
}

TEST_F(NetCfgTest, ChoosingAStoredEntryShowsItWithTheStoredFirstHost)
{
    ScanSettings settings = SampleSettings();
    settings.firstHost = 1;
    CNetCfg dialog(settings);
    dialog.show();
    ASSERT_TRUE(Address(dialog)->SetText(QStringLiteral("192.168.1.20")));

    SortedComboBox* stored = Stored(dialog);
    const int index = stored->FindStringExact(-1, QStringLiteral("10.0.0.*"));
    ASSERT_GE(index, 0);
    stored->setCurrentIndex(index);
    emit stored->activated(index);
    EXPECT_EQ(Address(dialog)->Text(), QStringLiteral("10.0.0.1"));
    EXPECT_EQ(dialog.subnet, "10.0.0.*");
}

TEST_F(NetCfgTest, ATypedDottedNetworkAndAHostAbove254)
{
    CNetCfg dialog(SampleSettings());
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    const auto type = [](const char* keys) {
        for (const char* key = keys; *key != '\0'; ++key)
            QTest::keyClick(QApplication::focusWidget(), *key);
    };
    // Over the address 192.168.1.20: select the first field and type a network, dots and all.
    QTest::mouseClick(Address(dialog)->FieldEdit(0), Qt::LeftButton);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    type("10.0.77");
    EXPECT_EQ(Address(dialog)->Text(), QStringLiteral("10.0.77.20"));
    // No field takes 255 or more here: 300 becomes 254, with the hint.
    QTest::mouseClick(Address(dialog)->FieldEdit(3), Qt::LeftButton);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    type("300");
    EXPECT_EQ(Address(dialog)->Field(3), 254);
    EXPECT_EQ(QToolTip::text(), QStringLiteral("300 is not a valid entry. Please specify a value between 0 and 254."));
    type("25");
    LastHost(dialog)->setText(QStringLiteral("40"));
    ClickOk(dialog);
    EXPECT_EQ(dialog.result(), 1);
    EXPECT_EQ(dialog.subnet, "10.0.77.*");
    EXPECT_EQ(dialog.firstHost, 25);
}

TEST_F(NetCfgTest, SubnetTextsAreReadFieldByFieldIntoTheAddressRange)
{
    CNetCfg dialog(SampleSettings());
    dialog.show();
    IpAddressEdit* address = Address(dialog);
    const struct
    {
        const char* subnet;
        int host;
        const char* shown;
    } cases[] = {
        {"10.20.30.*", 5, "10.20.30.5"},
        {" 7 . 8 .x.*", 9, "7.8.0.9"},          // blanks trimmed, a non-number reads as 0
        {"192.168.1", 0, "192.168.1.0"},        // no fourth field needed
        {"300.256.255.*", 255, "44.0.254.254"}, // low bytes, no field above 254
        {"1234567890.1.2.*", 1, "135.1.2.1"},   // a field is read from its first seven characters
        {"", 3, "0.0.0.3"},
    };
    for (const auto& c : cases) {
        dialog.SetAddressFromSubnet(c.subnet, c.host);
        EXPECT_EQ(address->Text(), QString::fromLatin1(c.shown)) << c.subnet;
    }
}

TEST_F(NetCfgTest, OkRefusesAnIncompleteAddressAndAReversedRange)
{
    CNetCfg dialog(SampleSettings());
    dialog.show();
    auto seen = AnswerMessageBoxes();

    ASSERT_TRUE(Address(dialog)->SetText(QStringLiteral("192.168..20")));
    ClickOk(dialog);
    EXPECT_EQ(seen->count, 1);
    EXPECT_EQ(seen->caption, QStringLiteral("Trawlix"));
    EXPECT_EQ(seen->text, QStringLiteral("Invalid IP address"));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.subnet, "192.168.1.*");

    ASSERT_TRUE(Address(dialog)->SetText(QStringLiteral("192.168.7.20")));
    LastHost(dialog)->setText(QStringLiteral("10"));
    ClickOk(dialog);
    EXPECT_EQ(seen->count, 2);
    EXPECT_EQ(seen->text, QStringLiteral("Invalid IP range"));
    EXPECT_TRUE(dialog.isVisible());

    LastHost(dialog)->setText(QStringLiteral("20"));
    ClickOk(dialog);
    EXPECT_EQ(seen->count, 2);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), 1);
    EXPECT_EQ(dialog.subnet, "192.168.7.*");
    EXPECT_EQ(dialog.firstHost, 20);
    EXPECT_EQ(dialog.lastHost, 20);

    const ScanSettings result = dialog.Result();
    EXPECT_EQ(result.subnet, "192.168.7.*");
    EXPECT_EQ(result.firstHost, 20);
    EXPECT_EQ(result.lastHost, 20);
    EXPECT_EQ(result.user, "admin");
    EXPECT_EQ(result.useHttps, 1);
    // A subnet confirmed for the first time is remembered, after the stored ones.
    EXPECT_EQ(result.storedSubnets, (std::vector<std::string>{"172.16.5.*", "10.0.0.*", "192.168.7.*"}));
}

TEST_F(NetCfgTest, LastHostOutsideItsBoundsKeepsTheDialogOpen)
{
    const struct
    {
        const char* text;
        std::vector<QString> messages;
    } cases[] = {
        {"255",
         {QStringLiteral("Enter an integer between 1 and 254."),
          QStringLiteral("Enter an integer between 1 and 254.")}},
        // Read before its check failed, 0 is also below the first host.
        {"0", {QStringLiteral("Enter an integer between 1 and 254."), QStringLiteral("Invalid IP range")}},
        {"many", {QStringLiteral("Enter an integer."), QStringLiteral("Enter an integer.")}},
    };
    for (const auto& c : cases) {
        CNetCfg dialog(SampleSettings());
        dialog.show();
        auto seen = RecordMessageBoxes();
        LastHost(dialog)->setText(QString::fromLatin1(c.text));
        ClickOk(dialog);
        EXPECT_EQ(*seen, c.messages) << c.text;
        EXPECT_TRUE(dialog.isVisible()) << c.text;
    }

    // The address control has the final say over the first host; 254 is the highest it takes.
    CNetCfg dialog(SampleSettings());
    dialog.show();
    auto seen = RecordMessageBoxes();
    LastHost(dialog)->setText(QStringLiteral("254"));
    ASSERT_TRUE(Address(dialog)->SetText(QStringLiteral("192.168.1.254")));
    ClickOk(dialog);
    EXPECT_TRUE(seen->empty());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.firstHost, 254);
    EXPECT_EQ(dialog.lastHost, 254);
}

TEST_F(NetCfgTest, StoredFirstHostOutOfRangeIsReportedAndThenTakenFromTheAddress)
{
    ScanSettings settings = SampleSettings();
    settings.firstHost = 300;
    settings.lastHost = 254;
    CNetCfg dialog(settings);
    auto seen = AnswerMessageBoxes();
    dialog.show();
    EXPECT_EQ(seen->count, 1);
    EXPECT_EQ(seen->text, QStringLiteral("Enter an integer between 0 and 254."));
    EXPECT_EQ(Address(dialog)->Text(), QStringLiteral("192.168.1.44"));

    ClickOk(dialog);
    EXPECT_EQ(seen->count, 2);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), 1);
    EXPECT_EQ(dialog.firstHost, 44);
}

TEST_F(NetCfgTest, CancelLeavesTheSettingsAsTheyWere)
{
    const ScanSettings settings = SampleSettings();
    CNetCfg dialog(settings);
    QMetaObject::invokeMethod(
        &dialog,
        [&] {
            dialog.ControlAs<QLineEdit>(1013)->setText(QStringLiteral("someone"));
            LastHost(dialog)->setText(QStringLiteral("99"));
            ASSERT_TRUE(Address(dialog)->SetText(QStringLiteral("10.1.1.1")));
            QTest::keyClick(&dialog, Qt::Key_Escape);
        },
        Qt::QueuedConnection);
    EXPECT_EQ(dialog.exec(), 2);
    EXPECT_EQ(dialog.user, "admin");
    EXPECT_EQ(dialog.lastHost, 30);
    EXPECT_EQ(dialog.subnet, "192.168.1.*");
    EXPECT_EQ(dialog.firstHost, 20);
}

TEST_F(NetCfgTest, GermanDialogSpeaksGerman)
{
    SetLanguage(Language::German);
    CNetCfg dialog(SampleSettings());
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Einstellungen der Netzwerksuche"));
    auto seen = AnswerMessageBoxes();
    LastHost(dialog)->setText(QStringLiteral("5"));
    ClickOk(dialog);
    EXPECT_EQ(seen->text, QString::fromUtf8("Ungültiger IP-Bereich."));
    ASSERT_TRUE(Address(dialog)->SetText(QStringLiteral("...")));
    ClickOk(dialog);
    EXPECT_EQ(seen->text, QString::fromUtf8("Ungültige IP-Adresse"));
    EXPECT_TRUE(dialog.isVisible());
}

} // namespace
