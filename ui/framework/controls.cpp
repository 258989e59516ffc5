#include "ui/framework/controls.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>
#include <QValidator>

#include <algorithm>

namespace trawlix::ui {

namespace {

// Digits only, at most three, and no value above the field's upper bound.
class FieldValidator final : public QValidator
{
public:
    FieldValidator(const int* high, QObject* parent) : QValidator(parent), high_(high) {}

    State validate(QString& input, int&) const override
    {
        if (input.isEmpty())
            return Acceptable;
        if (input.size() > 3)
            return Invalid;
        for (const QChar c : input) {
            if (!c.isDigit() || c.unicode() > '9')
                return Invalid;
        }
        return input.toInt() <= *high_ ? Acceptable : Invalid;
    }

private:
    const int* high_;
};

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
        field->setValidator(new FieldValidator(&high_[i], field));
        field->installEventFilter(this);
        connect(field, &QLineEdit::textEdited, this, [this, i](const QString& text) {
            // Three digits complete a field; typing goes on in the next one.
            if (text.size() == 3 && i + 1 < fields_.size())
                fields_[i + 1]->setFocus();
        });
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

bool IpAddressEdit::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Period) {
            for (std::size_t i = 0; i + 1 < fields_.size(); ++i) {
                if (fields_[i] == watched && !fields_[i]->text().isEmpty()) {
                    fields_[i + 1]->setFocus();
                    fields_[i + 1]->selectAll();
                }
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
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
