#include "ui/framework/controls.h"

#include <QLineEdit>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace trawlix::ui;

TEST(IpAddressEditTest, RefusesValuesAbove254)
{
    IpAddressEdit ip;
    QTest::keyClicks(ip.FieldEdit(0), QStringLiteral("255"));
    EXPECT_EQ(ip.FieldEdit(0)->text(), QStringLiteral("25"));
    QTest::keyClicks(ip.FieldEdit(1), QStringLiteral("254"));
    EXPECT_EQ(ip.Field(1), 254);
    EXPECT_FALSE(ip.SetText(QStringLiteral("1.2.3.255")));
    EXPECT_EQ(ip.Text(), QStringLiteral("25.254.."));
    ip.SetAddress(0xFFFFFFFFu); // brought into the fields' range
    EXPECT_EQ(ip.Text(), QStringLiteral("254.254.254.254"));
    ip.SetFieldRange(3, 1, 10);
    EXPECT_EQ(ip.Field(3), 10);
    EXPECT_FALSE(ip.SetText(QStringLiteral("1.2.3.11")));
}

TEST(IpAddressEditTest, TellsBlankFieldsFromZeros)
{
    IpAddressEdit ip;
    EXPECT_TRUE(ip.IsBlank());
    EXPECT_EQ(ip.FilledFieldCount(), 0);
    ASSERT_TRUE(ip.SetText(QStringLiteral("192.168..20")));
    EXPECT_FALSE(ip.IsBlank());
    EXPECT_EQ(ip.FilledFieldCount(), 3);
    EXPECT_EQ(ip.Field(2), std::nullopt);
    EXPECT_EQ(ip.Address(), 0xC0A80014u);
    EXPECT_EQ(ip.Text(), QStringLiteral("192.168..20"));
    ip.SetField(2, 0);
    EXPECT_EQ(ip.FilledFieldCount(), 4);
    EXPECT_EQ(ip.Text(), QStringLiteral("192.168.0.20"));
    ip.Clear();
    EXPECT_TRUE(ip.IsBlank());
    for (const char* bad : {"1.2.3", "1.2.3.4.5", "a.2.3.4", "1.2.3.-4", "1.2.3.+4", "1.2.3.0004"})
        EXPECT_FALSE(ip.SetText(QString::fromLatin1(bad))) << bad;
    EXPECT_TRUE(ip.IsBlank());
}

TEST(IpAddressEditTest, DottedAndNumericFormsRoundTrip)
{
    IpAddressEdit ip;
    QSignalSpy changed(&ip, &IpAddressEdit::AddressChanged);
    ip.SetAddress(0x0A0A0A0Au);
    EXPECT_EQ(ip.Text(), QStringLiteral("10.10.10.10"));
    EXPECT_FALSE(changed.isEmpty());
    ASSERT_TRUE(ip.SetText(QStringLiteral("172.16.254.1")));
    EXPECT_EQ(ip.Address(), 0xAC10FE01u);
    IpAddressEdit copy;
    copy.SetAddress(ip.Address());
    EXPECT_EQ(copy.Text(), ip.Text());
    EXPECT_EQ(copy.FilledFieldCount(), 4);
}

TEST(SortedComboBoxTest, KeepsEntriesSortedAndFindsExactTextIgnoringCase)
{
    SortedComboBox combo(true);
    for (const char* text : {"192.168.1.*", "10.0.0.*", "Lab.*", "abc.*", "172.16.0.*"})
        combo.AddString(QString::fromLatin1(text));
    QStringList items;
    for (int i = 0; i < combo.count(); ++i)
        items << combo.itemText(i);
    EXPECT_EQ(items, (QStringList{QStringLiteral("10.0.0.*"), QStringLiteral("172.16.0.*"),
                                  QStringLiteral("192.168.1.*"), QStringLiteral("abc.*"), QStringLiteral("Lab.*")}));
    EXPECT_EQ(combo.FindStringExact(-1, QStringLiteral("LAB.*")), 4);
    EXPECT_EQ(combo.FindStringExact(-1, QStringLiteral("ABC.*")), 3);
    EXPECT_EQ(combo.FindStringExact(-1, QStringLiteral("10.0.0")), -1); // no prefix matches
    EXPECT_EQ(combo.FindStringExact(-1, QStringLiteral("10.0.0.*x")), -1);
    // The search starts after `start` and wraps round.
    combo.AddString(QStringLiteral("LAB.*"));
    EXPECT_EQ(combo.FindStringExact(-1, QStringLiteral("lab.*")), 4);
    EXPECT_EQ(combo.FindStringExact(4, QStringLiteral("lab.*")), 5);
    EXPECT_EQ(combo.FindStringExact(5, QStringLiteral("lab.*")), 4);

    SortedComboBox plain(false);
    plain.AddString(QStringLiteral("b"));
    EXPECT_EQ(plain.AddString(QStringLiteral("a")), 1);
    EXPECT_EQ(SortedComboBox(true).FindStringExact(-1, QStringLiteral("a")), -1);
}

QIcon Filled(Qt::GlobalColor color)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(color);
    return QIcon(pixmap);
}

QRgb ShownColour(const ImageButton& button)
{
    return button.icon().pixmap(16, 16).toImage().pixel(8, 8);
}

TEST(ImageButtonTest, ShowsNormalHotAndDisabledImages)
{
    ImageButton button(QStringLiteral("&Visit Device"));
    button.SetImages(Filled(Qt::red), Filled(Qt::green), Filled(Qt::gray));
    EXPECT_EQ(button.ImageState(), ImageButton::State::Normal);
    EXPECT_EQ(ShownColour(button), QColor(Qt::red).rgb());
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(&button, &enter);
    EXPECT_EQ(button.ImageState(), ImageButton::State::Hot);
    EXPECT_EQ(ShownColour(button), QColor(Qt::green).rgb());
    button.setEnabled(false);
    EXPECT_EQ(button.ImageState(), ImageButton::State::Disabled);
    EXPECT_EQ(button.icon().pixmap(16, 16, QIcon::Disabled).toImage().pixel(8, 8), QColor(Qt::gray).rgb());
    button.setEnabled(true);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&button, &leave);
    EXPECT_EQ(ShownColour(button), QColor(Qt::red).rgb());
}

} // namespace
