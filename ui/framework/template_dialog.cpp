#include "ui/framework/template_dialog.h"

#include "ui/framework/controls.h"
#include "ui/framework/data_exchange.h"
#include "ui/framework/utf8_text.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QResizeEvent>
#include <QTreeView>

#include <algorithm>
#include <mutex>

namespace trawlix::ui {

namespace {

std::mutex loaderMutex;
ResourceImageLoader& Loader()
{
    static ResourceImageLoader loader;
    return loader;
}

// Controls that take the focus with the Tab key, and the rest only on a click.
void SetTabStop(QWidget* widget, const ControlTemplate& control)
{
    widget->setFocusPolicy(control.Has(ControlStyle::TabStop) ? Qt::StrongFocus : Qt::ClickFocus);
}

} // namespace

void SetResourceImageLoader(ResourceImageLoader loader)
{
    std::lock_guard lock(loaderMutex);
    Loader() = std::move(loader);
}

QIcon LoadResourceImage(int id)
{
    ResourceImageLoader loader;
    {
        std::lock_guard lock(loaderMutex);
        loader = Loader();
    }
    return loader ? loader(id) : QIcon();
}

QFont DialogFont(const DialogTemplate& dialogTemplate)
{
    QFont font = QApplication::font();
    const QString family = FromUtf8(dialogTemplate.fontFamily);
    if (family != QStringLiteral("MS Shell Dlg") && family != QStringLiteral("MS Shell Dlg 2"))
        font.setFamily(family);
    font.setPointSize(dialogTemplate.fontPoints);
    return font;
}

TemplateDialog::TemplateDialog(int templateId, QWidget* parent) : TemplateDialog(LoadDialogTemplate(templateId), parent)
{}

TemplateDialog::TemplateDialog(const DialogTemplate& dialogTemplate, QWidget* parent)
    : QDialog(parent), template_(dialogTemplate)
{
    Build();
}

void TemplateDialog::Build()
{
    const QFont font = DialogFont(template_);
    setFont(font);
    baseUnits_ = BaseUnitsOf(font);
    setWindowTitle(FromUtf8(template_.caption));

    Qt::WindowFlags flags =
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint;
    if (template_.Has(DialogStyle::SysMenu))
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (template_.Has(DialogStyle::MinimizeBox))
        flags |= Qt::WindowMinimizeButtonHint;
    if (template_.Has(DialogStyle::MaximizeBox))
        flags |= Qt::WindowMaximizeButtonHint;
    if (template_.Has(DialogStyle::AppWindow))
        flags = (flags & ~Qt::Dialog) | Qt::Window;
    setWindowFlags(flags);
    setSizeGripEnabled(false);
    setFixedSize(MapDialogRect(QRect(0, 0, template_.width, template_.height)).size());

    QWidget* pendingBuddyLabel = nullptr;
    std::vector<QGroupBox*> frames;
    for (const ControlTemplate& control : template_.controls) {
        QWidget* widget = CreateControl(control, pendingBuddyLabel);
        if (control.kind == ControlKind::GroupBox)
            frames.push_back(static_cast<QGroupBox*>(widget));
        if (control.id != kNoControlId)
            controls_[control.id] = widget;
    }
    // Group boxes only frame their neighbours; they stay beneath them.
    for (QGroupBox* frame : frames)
        frame->lower();
}

QWidget* TemplateDialog::CreateControl(const ControlTemplate& control, QWidget*& pendingBuddyLabel)
{
    const QString caption = FromUtf8(control.caption);
    QRect rect = MapDialogRect(QRect(control.x, control.y, control.width, control.height));
    QWidget* widget = nullptr;
    switch (control.kind) {
    case ControlKind::Static: {
        auto* label = new QLabel(this);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setText(caption);
        if (control.Has(ControlStyle::Bold)) {
            QFont bold = font();
            bold.setWeight(QFont::Bold);
            label->setFont(bold);
        }
        widget = label;
        break;
    }
    case ControlKind::Icon: {
        auto* label = new QLabel(this);
        label->setProperty("imageId", control.imageId);
        const QIcon icon = LoadResourceImage(control.imageId);
        if (!icon.isNull())
            label->setPixmap(icon.pixmap(32, 32));
        // An icon control takes the size of its icon.
        rect.setSize(QSize(32, 32));
        widget = label;
        break;
    }
    case ControlKind::GroupBox:
        widget = new QGroupBox(caption, this);
        break;
    case ControlKind::Button: {
        QPushButton* button =
            control.Has(ControlStyle::Image) ? new ImageButton(caption, this) : new QPushButton(caption, this);
        button->setDefault(control.Has(ControlStyle::Default));
        const int id = control.id;
        connect(button, &QPushButton::clicked, this, [this, id] { OnCommand(id); });
        widget = button;
        break;
    }
    case ControlKind::CheckBox:
        widget = new QCheckBox(caption, this);
        break;
    case ControlKind::Edit: {
        auto* edit = new QLineEdit(this);
        if (control.Has(ControlStyle::Password))
            edit->setEchoMode(QLineEdit::Password);
        widget = edit;
        break;
    }
    case ControlKind::IpAddress:
        widget = new IpAddressEdit(this);
        break;
    case ControlKind::DropDown: {
        auto* combo = new SortedComboBox(control.Has(ControlStyle::Sorted), this);
        // The template's height includes the opened list; the closed box is one line high.
        rect.setHeight(std::min(rect.height(), combo->sizeHint().height()));
        widget = combo;
        break;
    }
    case ControlKind::ListView: {
        // The dialog gives the list its model.
        auto* list = new QTreeView(this);
        list->setRootIsDecorated(false);
        list->setUniformRowHeights(true);
        list->setSelectionBehavior(QAbstractItemView::SelectRows);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setAllColumnsShowFocus(true);
        widget = list;
        break;
    }
    case ControlKind::Progress: {
        auto* bar = new QProgressBar(this);
        bar->setTextVisible(false);
        bar->setRange(0, 100);
        bar->setValue(0);
        widget = bar;
        break;
    }
    }

    if (control.kind != ControlKind::Static && control.kind != ControlKind::Icon &&
        control.kind != ControlKind::GroupBox)
        SetTabStop(widget, control);
    // A label's mnemonic moves the focus to the next control that can take it.
    if (pendingBuddyLabel != nullptr && widget->focusPolicy() != Qt::NoFocus) {
        static_cast<QLabel*>(pendingBuddyLabel)->setBuddy(widget);
        pendingBuddyLabel = nullptr;
    }
    if (control.kind == ControlKind::Static && !control.Has(ControlStyle::NoPrefix) &&
        control.caption.find('&') != std::string::npos)
        pendingBuddyLabel = widget;

    widget->setGeometry(rect);
    widget->setEnabled(!control.Has(ControlStyle::Disabled));
    if (control.Has(ControlStyle::Hidden))
        widget->hide();
    widget->setProperty("controlId", control.id);
    return widget;
}

QWidget* TemplateDialog::Control(int id) const
{
    const auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

void TemplateDialog::EnableDynamicLayout(const std::vector<std::pair<int, DynamicLayout>>& controls)
{
    templateSize_ = MapDialogRect(QRect(0, 0, template_.width, template_.height)).size();
    setWindowFlags((windowFlags() & ~Qt::MSWindowsFixedSizeDialogHint) | Qt::WindowMaximizeButtonHint);
    setMinimumSize(templateSize_);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    setSizeGripEnabled(true);
    dynamic_.clear();
    for (const auto& [id, layout] : controls) {
        if (QWidget* control = Control(id))
            dynamic_.push_back({control, control->geometry(), layout});
    }
}

void TemplateDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (dynamic_.empty())
        return;
    const int dx = std::max(0, width() - templateSize_.width());
    const int dy = std::max(0, height() - templateSize_.height());
    for (const DynamicControl& control : dynamic_) {
        QRect rect = control.templateRect;
        rect.translate(dx * control.layout.moveX / 100, dy * control.layout.moveY / 100);
        rect.setSize(rect.size() + QSize(dx * control.layout.sizeX / 100, dy * control.layout.sizeY / 100));
        control.widget->setGeometry(rect);
    }
}

bool TemplateDialog::UpdateData(bool saveAndValidate)
{
    DataExchange dx(*this, saveAndValidate);
    DoDataExchange(dx);
    return !dx.Failed();
}

void TemplateDialog::setVisible(bool visible)
{
    if (visible && !initialised_) {
        initialised_ = true;
        OnInitDialog();
    }
    QDialog::setVisible(visible);
}

bool TemplateDialog::OnInitDialog()
{
    UpdateData(false);
    return true;
}

void TemplateDialog::DoDataExchange(DataExchange&) {}

void TemplateDialog::OnOK()
{
    if (UpdateData(true))
        done(1);
}

void TemplateDialog::OnCancel()
{
    done(2);
}

void TemplateDialog::OnCommand(int id)
{
    if (id == 1)
        OnOK();
    else if (id == 2)
        OnCancel();
    else
        emit Command(id);
}

} // namespace trawlix::ui
