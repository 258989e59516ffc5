#include "ui/framework/controls.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace trawlix::ui;

// Types into whichever field has the focus, as the keyboard does: digits and '.' as they are,
// '\b' Backspace, '<' and '>' the arrow keys, 'v' Ctrl+V.
void Type(const QString& keys)
{
    for (const QChar key : keys) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        switch (key.unicode()) {
        case u'\b':
            QTest::keyClick(focus, Qt::Key_Backspace);
            break;
        case u'<':
            QTest::keyClick(focus, Qt::Key_Left);
            break;
        case u'>':
            QTest::keyClick(focus, Qt::Key_Right);
            break;
        case u'v':
            QTest::keyClick(focus, Qt::Key_V, Qt::ControlModifier);
            break;
        default:
            QTest::keyClick(focus, key.toLatin1());
        }
    }
}

int FocusedField(const IpAddressEdit& ip)
{
    for (int i = 0; i < 4; ++i) {
        if (ip.FieldEdit(i)->hasFocus())
            return i;
    }
    return -1;
}

TEST(IpAddressEditTest, TypesLikeThePlatformsAddressControl)
{
    struct Case
    {
        const char* before;
        int field; // clicked into, its text selected
        const char* clipboard;
        const char* keys;
        const char* after;
        int focus;
    };
    const Case cases[] = {
        // Three digits move on; the "." typed after that move is not a second move.
        {"...", 0, "", "192.168.77", "192.168.77.", 2},
        {"10.20.30.40", 0, "", "192.168.77", "192.168.77.40", 2},
        {"...", 0, "", "10.1.2.3", "10.1.2.3", 3},
        // "." in an empty field stays there, in the last field it does nothing.
        {"...", 0, "", "..7", "7...", 0},
        {"...", 3, "", "5.", "...5", 3},
        // Backspace in an empty field and the arrow keys at an edge move between fields.
        {"1.2.3.4", 3, "", "\b\b\b9", "1.2.9.", 2},
        {"12.34..", 1, "", "<<<<5", "152.34..", 0},
        {"12.34..", 0, "", ">>1", "12.134..", 1},
        // Above 255 the field takes 255 and keeps the focus; what follows replaces it.
        {"...", 0, "", "300", "255...", 0},
        {"...", 1, "", "2560", ".0..", 1},
        // A pasted address fills all fields, a part of one the fields from here on.
        {"...", 0, "192.168.77.1", "v", "192.168.77.1", 3},
        {"1.2.3.4", 2, "7.8", "v", "1.2.7.8", 3},
        {"1.2.3.4", 1, "1.2.3.4.5", "v", "1.2.3.4", 1},
        {"1.2.3.4", 1, "a.b", "v", "1.2.3.4", 1},
        {"1.2.3.4", 0, " 10.0.300.9 ", "v", "10.0.255.9", 3},
        {"1.2.3.4", 3, "42", "v", "1.2.3.42", 3},
    };
    for (const Case& test : cases) {
        IpAddressEdit ip;
        ip.show();
        QApplication::setActiveWindow(&ip);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&ip));
        ASSERT_TRUE(ip.SetText(QString::fromLatin1(test.before)));
        QGuiApplication::clipboard()->setText(QString::fromLatin1(test.clipboard));
        ip.FieldEdit(test.field)->setFocus();
        ip.FieldEdit(test.field)->selectAll();
        Type(QString::fromLatin1(test.keys));
        EXPECT_EQ(ip.Text(), QString::fromLatin1(test.after)) << test.before << " + " << test.keys;
        EXPECT_EQ(FocusedField(ip), test.focus) << test.before << " + " << test.keys;
    }
}

TEST(IpAddressEditTest, RefusesValuesOutsideTheRangeFromCode)
{
    IpAddressEdit ip;
    for (int i = 0; i < 4; ++i)
        ip.SetFieldRange(i, 0, 254);
    QTest::keyClicks(ip.FieldEdit(0), QStringLiteral("2x5"));
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
