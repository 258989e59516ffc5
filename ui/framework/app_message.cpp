#include "ui/framework/app_message.h"

#include <QMessageBox>
#include <QWidget>

namespace trawlix::ui {

QString ApplicationName()
{
    return QStringLiteral("Trawlix");
}

int AppMessageBox(QWidget* parent, const QString& text, MessageButtons buttons, MessageIcon icon)
{
    QMessageBox box(parent);
    box.setWindowTitle(ApplicationName());
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    switch (icon) {
    case MessageIcon::None:
        break;
    case MessageIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MessageIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case MessageIcon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case MessageIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    QMessageBox::StandardButtons standard;
    QMessageBox::StandardButton escape = QMessageBox::Cancel;
    switch (buttons) {
    case MessageButtons::Ok:
        standard = QMessageBox::Ok;
        escape = QMessageBox::Ok;
        break;
    case MessageButtons::OkCancel:
        standard = QMessageBox::Ok | QMessageBox::Cancel;
        break;
    case MessageButtons::YesNo:
        standard = QMessageBox::Yes | QMessageBox::No;
        escape = QMessageBox::No;
        break;
    case MessageButtons::YesNoCancel:
        standard = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        break;
    }
    box.setStandardButtons(standard);
    box.setEscapeButton(escape);
    const int result = box.exec();
    switch (result) {
    case QMessageBox::Ok:
        return kIdOk;
    case QMessageBox::Yes:
        return kIdYes;
    case QMessageBox::No:
        return kIdNo;
    default:
        return buttons == MessageButtons::YesNo ? kIdNo : (buttons == MessageButtons::Ok ? kIdOk : kIdCancel);
    }
}

Qt::CursorShape CursorShapeFor(PointerState state)
{
    switch (state) {
    case PointerState::Searching:
        return Qt::BusyCursor;
    case PointerState::Stopping:
        return Qt::WaitCursor;
    case PointerState::Idle:
        break;
    }
    return Qt::ArrowCursor;
}

void ShowPointer(QWidget* widget, PointerState state)
{
    if (widget != nullptr)
        widget->setCursor(CursorShapeFor(state));
}

} // namespace trawlix::ui
