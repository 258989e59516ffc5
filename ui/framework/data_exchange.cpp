#include "ui/framework/data_exchange.h"

#include "resources/string_table.h"
#include "ui/framework/app_message.h"
#include "ui/framework/template_dialog.h"

#include <QAbstractButton>
#include <QLineEdit>

#include <limits>

namespace trawlix::ui {

QString EnterIntegerMessage()
{
    return CurrentLanguage() == Language::German ? QStringLiteral("Geben Sie eine ganze Zahl ein.")
                                                 : QStringLiteral("Enter an integer.");
}

QString EnterIntegerBetweenMessage(int low, int high)
{
    const QString pattern = CurrentLanguage() == Language::German
                                ? QStringLiteral("Geben Sie eine ganze Zahl zwischen %1 und %2 ein.")
                                : QStringLiteral("Enter an integer between %1 and %2.");
    return pattern.arg(low).arg(high);
}

bool ParseDialogInteger(const QString& text, int& value)
{
    const QString trimmed = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < trimmed.size() && (trimmed[i] == QLatin1Char('-') || trimmed[i] == QLatin1Char('+')))
        negative = trimmed[i++] == QLatin1Char('-');
    if (i == trimmed.size())
        return false;
    long long result = 0;
    for (; i < trimmed.size(); ++i) {
        const char16_t c = trimmed[i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        result = result * 10 + (c - u'0');
        if (result > static_cast<long long>(std::numeric_limits<int>::max()) + 1)
            return false;
    }
    if (negative)
        result = -result;
    if (result < std::numeric_limits<int>::min() || result > std::numeric_limits<int>::max())
        return false;
    value = static_cast<int>(result);
    return true;
}

void DataExchange::Fail(const QString& message)
{
    failed_ = true;
    AppMessageBox(&dialog_, message, MessageButtons::Ok, MessageIcon::Warning);
    if (last_ != nullptr) {
        last_->setFocus(Qt::OtherFocusReason);
        if (auto* edit = qobject_cast<QLineEdit*>(last_))
            edit->selectAll();
    }
}

void DataExchange::Control(int id)
{
    if (!failed_)
        last_ = dialog_.Control(id);
}

void DataExchange::Text(int id, QString& value)
{
    if (failed_)
        return;
    last_ = dialog_.Control(id);
    auto* edit = qobject_cast<QLineEdit*>(last_);
    if (edit == nullptr)
        return;
    if (save_)
        value = edit->text();
    else
        edit->setText(value);
}

void DataExchange::Text(int id, std::string& value)
{
    QString text = QString::fromStdString(value);
    Text(id, text);
    if (save_ && !failed_)
        value = text.toStdString();
}

void DataExchange::Int(int id, int& value)
{
    if (failed_)
        return;
    last_ = dialog_.Control(id);
    auto* edit = qobject_cast<QLineEdit*>(last_);
    if (edit == nullptr)
        return;
    if (!save_) {
        edit->setText(QString::number(value));
        return;
    }
    int parsed = 0;
    if (!ParseDialogInteger(edit->text(), parsed)) {
        Fail(EnterIntegerMessage());
        return;
    }
    value = parsed;
}

void DataExchange::Check(int id, int& value)
{
    if (failed_)
        return;
    last_ = dialog_.Control(id);
    auto* button = qobject_cast<QAbstractButton*>(last_);
    if (button == nullptr)
        return;
    if (save_)
        value = button->isChecked() ? 1 : 0;
    else
        button->setChecked(value != 0);
}

void DataExchange::MinMax(int value, int low, int high)
{
    if (failed_ || !save_)
        return;
    if (value < low || value > high)
        Fail(EnterIntegerBetweenMessage(low, high));
}

} // namespace trawlix::ui
