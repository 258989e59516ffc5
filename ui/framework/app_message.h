#pragma once

#include <QCursor>
#include <QString>

class QWidget;

// Message boxes under the application's name, and the pointers the program shows.
namespace trawlix::ui {

inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageIcon { None, Information, Warning, Error, Question };

[[nodiscard]] QString ApplicationName(); // "Trawlix"

// A modal box captioned with the application name; returns kIdOk, kIdCancel, kIdYes or kIdNo.
// Closing it without a button counts as Cancel (or No when there is no Cancel).
int AppMessageBox(QWidget* parent, const QString& text, MessageButtons buttons = MessageButtons::Ok,
                  MessageIcon icon = MessageIcon::None);

// Idle: arrow. Searching: the busy arrow (work in the background, the window still usable).
// Stopping: the wait pointer.
enum class PointerState { Idle, Searching, Stopping };
[[nodiscard]] Qt::CursorShape CursorShapeFor(PointerState state);
void ShowPointer(QWidget* widget, PointerState state);

} // namespace trawlix::ui
