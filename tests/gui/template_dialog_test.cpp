#include "ui/framework/controls.h"
#include "ui/framework/template_dialog.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

using namespace trawlix;
using namespace trawlix::ui;

TEST(DialogUnitsTest, BaseUnitsAndPlacementFollowThePlatformRounding)
{
    // The classic 8-point dialog font: 52 letters 312 px wide, 13 px high -> 6 x 13.
    const DialogBaseUnits base = BaseUnitsFromMetrics(312, 13);
    EXPECT_EQ(base.x, 6);
    EXPECT_EQ(base.y, 13);
    // The average width rounds half up: 6.48 -> 6, 6.5 -> 7.
    EXPECT_EQ(BaseUnitsFromMetrics(337, 13).x, 6);
    EXPECT_EQ(BaseUnitsFromMetrics(338, 13).x, 7);

    // The main window: 652 x 320 units; the list at 7, 29, 539 x 264.
    EXPECT_EQ(DialogUnitsToPixels(QRect(0, 0, 652, 320), base), QRect(0, 0, 978, 520));
    EXPECT_EQ(DialogUnitsToPixels(QRect(7, 29, 539, 264), base), QRect(11, 47, 809, 429));
    EXPECT_EQ(MulDiv(-7, 6, 4), -11);
    EXPECT_EQ(MulDiv(5, 13, 8), 8);
}

// The kind of widget each template control becomes.
bool IsOfKind(QWidget* widget, ControlKind kind)
{
    switch (kind) {
    case ControlKind::Static:
    case ControlKind::Icon:
        return qobject_cast<QLabel*>(widget) != nullptr;
    case ControlKind::GroupBox:
        return qobject_cast<QGroupBox*>(widget) != nullptr;
    case ControlKind::Button:
        return qobject_cast<QPushButton*>(widget) != nullptr;
    case ControlKind::CheckBox:
        return qobject_cast<QCheckBox*>(widget) != nullptr;
    case ControlKind::Edit:
        return qobject_cast<QLineEdit*>(widget) != nullptr;
    case ControlKind::IpAddress:
        return qobject_cast<IpAddressEdit*>(widget) != nullptr;
    case ControlKind::DropDown:
        return qobject_cast<SortedComboBox*>(widget) != nullptr;
    case ControlKind::ListView:
        return qobject_cast<QTreeView*>(widget) != nullptr;
    case ControlKind::Progress:
        return qobject_cast<QProgressBar*>(widget) != nullptr;
    }
    return false;
}

TEST(TemplateDialogTest, BuildsEveryControlOfEveryTemplateAtItsPlace)
{
    for (const Language language : {Language::English, Language::German}) {
        for (const int id : DialogTemplateIds()) {
            SCOPED_TRACE(id);
            const DialogTemplate& t = LoadDialogTemplate(id, language);
            TemplateDialog dialog(t);

            // Base units from the dialog's own font, measured independently here.
            const QFontMetrics metrics(dialog.font());
            const int letters =
                metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
            EXPECT_EQ(dialog.BaseUnits().x, (letters / 26 + 1) / 2);
            EXPECT_EQ(dialog.BaseUnits().y, metrics.height());
            EXPECT_EQ(dialog.font().pointSize(), 8);

            const QSize size = dialog.MapDialogRect(QRect(0, 0, t.width, t.height)).size();
            EXPECT_EQ(dialog.minimumSize(), size);
            EXPECT_EQ(dialog.maximumSize(), size);
            EXPECT_EQ(dialog.windowTitle(), QString::fromStdString(t.caption));

            int unnamed = 0;
            for (const ControlTemplate& c : t.controls) {
                if (c.id == kNoControlId) {
                    ++unnamed;
                    continue;
                }
                QWidget* w = dialog.Control(c.id);
                ASSERT_NE(w, nullptr) << c.id;
                EXPECT_TRUE(IsOfKind(w, c.kind)) << c.id;
                const QRect expected = dialog.MapDialogRect(QRect(c.x, c.y, c.width, c.height));
                EXPECT_EQ(w->pos(), expected.topLeft()) << c.id;
                if (c.kind != ControlKind::DropDown && c.kind != ControlKind::Icon) {
                    EXPECT_EQ(w->size(), expected.size()) << c.id;
                }
                EXPECT_EQ(w->isHidden(), c.Has(ControlStyle::Hidden)) << c.id;
                EXPECT_EQ(w->isEnabled(), !c.Has(ControlStyle::Disabled)) << c.id;
                if (auto* button = qobject_cast<QPushButton*>(w)) {
                    EXPECT_EQ(button->isDefault(), c.Has(ControlStyle::Default));
                    EXPECT_EQ(button->text(), QString::fromStdString(c.caption));
                    EXPECT_EQ(qobject_cast<ImageButton*>(w) != nullptr, c.Has(ControlStyle::Image));
                }
                if (auto* edit = qobject_cast<QLineEdit*>(w)) {
                    EXPECT_EQ(edit->echoMode() == QLineEdit::Password, c.Has(ControlStyle::Password));
                }
            }
            // Controls without an id are built too, as children of the dialog.
            EXPECT_EQ(dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size(),
                      static_cast<qsizetype>(t.controls.size()));
            EXPECT_GE(unnamed, id == 129 ? 6 : 0);
            EXPECT_EQ(dialog.Control(4242), nullptr);
        }
    }
}

TEST(TemplateDialogTest, MainWindowLabelIsBoldAndSettingsComboIsSorted)
{
    TemplateDialog main(LoadDialogTemplate(102, Language::English));
    EXPECT_TRUE(main.ControlAs<QLabel>(1002)->font().bold());
    EXPECT_FALSE(main.font().bold());
    TemplateDialog settings(LoadDialogTemplate(129, Language::English));
    EXPECT_TRUE(settings.ControlAs<SortedComboBox>(1095)->IsSorted());
}

TEST(TemplateDialogTest, ButtonsEndTheDialogWithTheirIds)
{
    TemplateDialog firmware(LoadDialogTemplate(131, Language::English));
    QSignalSpy commands(&firmware, &TemplateDialog::Command);
    QTimer::singleShot(0, &firmware, [&] {
        firmware.ControlAs<QPushButton>(1007)->click(); // not OK or Cancel: reported, dialog stays
        firmware.ControlAs<QPushButton>(1)->click();
    });
    EXPECT_EQ(firmware.exec(), 1);
    ASSERT_EQ(commands.size(), 1);
    EXPECT_EQ(commands.at(0).at(0).toInt(), 1007);

    TemplateDialog noRoute(LoadDialogTemplate(146, Language::English));
    QTimer::singleShot(0, &noRoute, [&] { noRoute.reject(); }); // Escape or the close box
    EXPECT_EQ(noRoute.exec(), 2);
}

TEST(TemplateDialogTest, IconControlsShowTheLoadersImage)
{
    int asked = 0;
    SetResourceImageLoader([&](int id) {
        asked = id;
        QPixmap pixmap(32, 32);
        pixmap.fill(Qt::yellow);
        return QIcon(pixmap);
    });
    TemplateDialog noRoute(LoadDialogTemplate(146, Language::German));
    SetResourceImageLoader({});
    EXPECT_EQ(asked, 144);
    const auto* icon = noRoute.ControlAs<QLabel>(1009);
    EXPECT_FALSE(icon->pixmap().isNull());
    EXPECT_EQ(icon->size(), QSize(32, 32));
}

} // namespace
