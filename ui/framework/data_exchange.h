#pragma once

#include <QString>

#include <string>

class QWidget;

// Moves values between a dialog's controls and its members, in both directions, and checks
// them on the way back. The first failed check shows the framework's message, puts the focus on
// the control concerned and makes every later step of the same exchange do nothing.
namespace trawlix::ui {

class TemplateDialog;

// The framework's own messages, in the current language.
[[nodiscard]] QString EnterIntegerMessage();
[[nodiscard]] QString EnterIntegerBetweenMessage(int low, int high);

class DataExchange
{
public:
    DataExchange(TemplateDialog& dialog, bool saveAndValidate) : dialog_(dialog), save_(saveAndValidate) {}

    [[nodiscard]] bool IsSaving() const { return save_; }
    [[nodiscard]] bool Failed() const { return failed_; }

    // Names the control that later checks refer to, without exchanging anything.
    void Control(int id);
    void Text(int id, std::string& value); // UTF-8
    void Text(int id, QString& value);
    // Decimal integer of an edit; "Enter an integer." when the text is none.
    void Int(int id, int& value);
    // Check box state as 0 or 1.
    void Check(int id, int& value);
    // On the way back: "Enter an integer between low and high." when value is outside.
    void MinMax(int value, int low, int high);

private:
    void Fail(const QString& message);
    TemplateDialog& dialog_;
    bool save_;
    bool failed_ = false;
    QWidget* last_ = nullptr;
};

// Reads an integer as the framework does: blanks around, an optional sign, decimal digits and
// nothing else, within the range of int.
[[nodiscard]] bool ParseDialogInteger(const QString& text, int& value);

} // namespace trawlix::ui
