#include "ui/framework/controls.h"

#include "resources/string_table.h"
#include "support/text/strings.h"
#include "ui/framework/utf8_text.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStringList>
#include <QToolTip>
#include <QValidator>

#include <algorithm>
#include <memory>

namespace trawlix::ui {

namespace {

// Digits only, at most three. A value above the field's range is let through so that the
// control can bring it to the upper bound and say so.
bool IsFieldText(const QString& text)
{
    return text.size() <= 3 && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

class FieldValidator final : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override { return IsFieldText(input) ? Acceptable : Invalid; }
};

bool IsSeparator(const QKeyEvent& key)
{
    // The keypad's decimal key gives a comma on some layouts (German among them).
    return key.key() == Qt::Key_Period || (key.key() == Qt::Key_Comma && (key.modifiers() & Qt::KeypadModifier) != 0);
}

} // namespace

IpAddressEdit::IpAddressEdit(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (i > 0)
            layout->addWidget(new QLabel(QStringLiteral("."), this));
        auto* field = new QLineEdit(this);
        field->setAlignment(Qt::AlignCenter);
        field->setMaxLength(3);
        field->setValidator(new FieldValidator(field));
        field->installEventFilter(this);
        connect(field, &QLineEdit::textEdited, this, [this, i](const QString& text) { OnFieldEdited(i, text); });
        connect(field, &QLineEdit::textChanged, this, &IpAddressEdit::AddressChanged);
        connect(field, &QLineEdit::editingFinished, this, [this, i] {
            // A value below the field's lower bound is raised to it when the field is left.
            const auto value = Field(static_cast<int>(i));
            if (value && *value < low_[i])
                SetField(static_cast<int>(i), low_[i]);
        });
        layout->addWidget(field, 1);
        fields_[i] = field;
    }
    setFocusProxy(fields_[0]);
}

IpAddressEdit::~IpAddressEdit()
{
    // The fields outlive this part of the object while QWidget deletes them, and lose the focus
    // then; their signals and events must not reach a control that is gone.
    for (QLineEdit* field : fields_) {
        field->removeEventFilter(this);
        field->disconnect(this);
    }
}

bool IpAddressEdit::eventFilter(QObject* watched, QEvent* event)
{
    const auto it = std::find(fields_.begin(), fields_.end(), watched);
    if (it == fields_.end())
        return QWidget::eventFilter(watched, event);
    const auto field = static_cast<std::size_t>(it - fields_.begin());
    switch (event->type()) {
    case QEvent::KeyPress:
        if (OnFieldKey(field, *static_cast<QKeyEvent*>(event)))
            return true;
        break;
    case QEvent::ContextMenu:
        ShowFieldMenu(field, static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    case QEvent::FocusOut:
        if (justAdvanced_ == static_cast<int>(field))
            justAdvanced_ = -1;
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

bool IpAddressEdit::OnFieldKey(std::size_t field, const QKeyEvent& key)
{
    QLineEdit* const edit = fields_[field];
    const bool justAdvanced = justAdvanced_ == static_cast<int>(field);
    justAdvanced_ = -1;
    if (key.matches(QKeySequence::Paste)) {
        Paste(field);
        return true;
    }
    if (IsSeparator(key)) {
        // Right after the move that three digits made, the "." has been done for the user.
        if (!justAdvanced && !edit->text().isEmpty() && field + 1 < fields_.size())
            EnterField(field + 1, true);
        return true;
    }
    const bool atStart = edit->cursorPosition() == 0 && !edit->hasSelectedText();
    const bool atEnd = edit->cursorPosition() == edit->text().size() && !edit->hasSelectedText();
    if (field > 0 && ((key.key() == Qt::Key_Backspace && edit->text().isEmpty()) ||
                      (key.key() == Qt::Key_Left && key.modifiers() == Qt::NoModifier && atStart))) {
        EnterField(field - 1, false);
        return true;
    }
    if (field + 1 < fields_.size() && key.key() == Qt::Key_Right && key.modifiers() == Qt::NoModifier && atEnd) {
        fields_[field + 1]->setFocus(Qt::OtherFocusReason);
        fields_[field + 1]->setCursorPosition(0);
        return true;
    }
    return false;
}

void IpAddressEdit::OnFieldEdited(std::size_t field, const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (ok && value > high_[field]) {
        ClampWithHint(field, value);
        return;
    }
    // Three digits complete a field; typing goes on in the next one.
    if (text.size() == 3 && fields_[field]->cursorPosition() == 3 && field + 1 < fields_.size()) {
        EnterField(field + 1, true);
        justAdvanced_ = static_cast<int>(field + 1);
    }
}

void IpAddressEdit::EnterField(std::size_t field, bool selectAll)
{
    QLineEdit* const edit = fields_[field];
    edit->setFocus(Qt::OtherFocusReason);
    if (selectAll)
        edit->selectAll();
    else
        edit->setCursorPosition(static_cast<int>(edit->text().size()));
}

void IpAddressEdit::ClampWithHint(std::size_t field, int value)
{
    QLineEdit* const edit = fields_[field];
    edit->setText(QString::number(high_[field]));
    edit->selectAll();
    const QString hint =
        FromUtf8(FillPlaces(LoadString(trawlix::TextId::FieldRangeHint),
                            {std::to_string(value), std::to_string(low_[field]), std::to_string(high_[field])}));
    QToolTip::showText(edit->mapToGlobal(QPoint(0, edit->height())), hint, edit);
}

void IpAddressEdit::Paste(std::size_t field)
{
    const QString text = QGuiApplication::clipboard()->text().trimmed();
    if (!text.contains(QLatin1Char('.'))) {
        fields_[field]->paste();
        return;
    }
    // A whole address fills all four fields, a part of one the fields from here on.
    const QStringList parts = text.split(QLatin1Char('.'));
    const std::size_t first = parts.size() == 4 ? 0 : field;
    if (first + static_cast<std::size_t>(parts.size()) > fields_.size())
        return;
    std::array<std::optional<int>, 4> values;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString part = parts[i].trimmed();
        if (!IsFieldText(part))
            return;
        if (!part.isEmpty())
            values[first + static_cast<std::size_t>(i)] = part.toInt();
    }
    std::size_t last = first;
    for (std::size_t i = first; i < first + static_cast<std::size_t>(parts.size()); ++i) {
        const std::optional<int> value = values[i];
        if (value && *value > high_[i]) {
            ClampWithHint(i, *value);
        } else if (value) {
            fields_[i]->setText(QString::number(*value));
        } else {
            fields_[i]->clear();
        }
        last = i;
    }
    EnterField(last, false);
}

void IpAddressEdit::ShowFieldMenu(std::size_t field, const QPoint& globalPos)
{
    // The field's own menu, with Paste taking a whole address as the key does.
    std::unique_ptr<QMenu> menu(fields_[field]->createStandardContextMenu());
    if (auto* paste = menu->findChild<QAction*>(QStringLiteral("edit-paste"))) {
        paste->disconnect();
        connect(paste, &QAction::triggered, this, [this, field] { Paste(field); });
    }
    menu->exec(globalPos);
}

bool IpAddressEdit::IsBlank() const
{
    return FilledFieldCount() == 0;
}

int IpAddressEdit::FilledFieldCount() const
{
    int count = 0;
    for (const QLineEdit* field : fields_)
        count += field->text().isEmpty() ? 0 : 1;
    return count;
}

std::optional<int> IpAddressEdit::Field(int index) const
{
    const QString text = fields_.at(static_cast<std::size_t>(index))->text();
    if (text.isEmpty())
        return std::nullopt;
    return text.toInt();
}

void IpAddressEdit::SetField(int index, std::optional<int> value)
{
    const auto i = static_cast<std::size_t>(index);
    if (!value) {
        fields_.at(i)->clear();
        return;
    }
    fields_.at(i)->setText(QString::number(std::clamp(*value, low_[i], high_[i])));
}

std::uint32_t IpAddressEdit::Address() const
{
    std::uint32_t address = 0;
    for (int i = 0; i < 4; ++i)
        address = (address << 8) | static_cast<std::uint32_t>(Field(i).value_or(0));
    return address;
}

void IpAddressEdit::SetAddress(std::uint32_t address)
{
    for (int i = 0; i < 4; ++i)
        SetField(i, static_cast<int>((address >> (8 * (3 - i))) & 0xFFu));
}

QString IpAddressEdit::Text() const
{
    QStringList parts;
    for (const QLineEdit* field : fields_)
        parts << field->text();
    return parts.join(QLatin1Char('.'));
}

bool IpAddressEdit::SetText(const QString& dotted)
{
    const QStringList parts = dotted.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    std::array<std::optional<int>, 4> values;
    for (std::size_t i = 0; i < 4; ++i) {
        const QString part = parts[static_cast<qsizetype>(i)].trimmed();
        if (part.isEmpty())
            continue;
        bool ok = false;
        const int value = part.toInt(&ok, 10);
        if (!ok || part.size() > 3 || part.startsWith(QLatin1Char('+')) || value < low_[i] || value > high_[i])
            return false;
        values[i] = value;
    }
    for (int i = 0; i < 4; ++i)
        SetField(i, values[static_cast<std::size_t>(i)]);
    return true;
}

void IpAddressEdit::Clear()
{
    for (QLineEdit* field : fields_)
        field->clear();
}

void IpAddressEdit::SetFieldRange(int index, int low, int high)
{
    const auto i = static_cast<std::size_t>(index);
    low_.at(i) = std::clamp(low, 0, 255);
    high_.at(i) = std::clamp(high, low_[i], 255);
    if (const auto value = Field(index))
        SetField(index, value);
}

SortedComboBox::SortedComboBox(bool sorted, QWidget* parent) : QComboBox(parent), sorted_(sorted) {}

int SortedComboBox::AddString(const QString& text)
{
    int index = count();
    if (sorted_) {
        // After the entries that sort before or equal to it, so equal texts keep their order.
        index = 0;
        while (index < count() && itemText(index).compare(text, Qt::CaseInsensitive) <= 0)
            ++index;
    }
    insertItem(index, text);
    return index;
}

int SortedComboBox::FindStringExact(int start, const QString& text) const
{
    const int n = count();
    if (n == 0)
        return -1;
    const int first = (start < 0 || start >= n) ? 0 : start + 1;
    for (int k = 0; k < n; ++k) {
        const int index = (first + k) % n;
        if (itemText(index).compare(text, Qt::CaseInsensitive) == 0)
            return index;
    }
    return -1;
}

ImageButton::ImageButton(const QString& text, QWidget* parent) : QPushButton(text, parent)
{
    setAttribute(Qt::WA_Hover);
}

void ImageButton::SetImages(const QIcon& normal, const QIcon& hot, const QIcon& disabled)
{
    normal_ = normal;
    hot_ = hot;
    disabled_ = disabled;
    ShowImage();
}

ImageButton::State ImageButton::ImageState() const
{
    if (!isEnabled())
        return State::Disabled;
    return hovered_ ? State::Hot : State::Normal;
}

bool ImageButton::event(QEvent* event)
{
    if (event->type() == QEvent::Enter || event->type() == QEvent::HoverEnter) {
        hovered_ = true;
        ShowImage();
    } else if (event->type() == QEvent::Leave || event->type() == QEvent::HoverLeave) {
        hovered_ = false;
        ShowImage();
    }
    return QPushButton::event(event);
}

void ImageButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange)
        ShowImage();
    QPushButton::changeEvent(event);
}

void ImageButton::ShowImage()
{
    // Each state's image is given as the icon's normal pixmap so the style draws it unchanged.
    const QIcon* image = &normal_;
    switch (ImageState()) {
    case State::Disabled:
        image = disabled_.isNull() ? &normal_ : &disabled_;
        break;
    case State::Hot:
        image = hot_.isNull() ? &normal_ : &hot_;
        break;
    case State::Normal:
        break;
    }
    QIcon shown;
    for (const QSize size : image->availableSizes())
        shown.addPixmap(image->pixmap(size), QIcon::Normal);
    for (const QSize size : image->availableSizes())
        shown.addPixmap(image->pixmap(size), QIcon::Disabled);
    setIcon(shown.isNull() ? *image : shown);
}

} // namespace trawlix::ui
