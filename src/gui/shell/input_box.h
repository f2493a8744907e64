// Behaviour shared by the program's input boxes: key filters, Enter as Tab, select-all on focus.
#pragma once

#include <functional>

class QKeyEvent;
class QLineEdit;
class QWidget;

namespace zentrel::gui {

/// Character a key press types, as the key filters see it: '\b' Backspace, '\r' Enter, the
/// typed character (Unicode value), or 0 for keys that type nothing (arrows, Delete, Tab,
/// shortcuts with Ctrl or Alt), which every box lets through.
char32_t typedCharacter(const QKeyEvent& event);

/// Moves the focus on from `widget` as a Tab key stroke would, by sending it one.
void sendTab(QWidget* widget);

/// What a box's key filter does with a typed character (never called for 0).
/// Returns true to let the character into the box, false to discard it.
using KeyFilterFunction = std::function<bool(char32_t key)>;

/// Adds the program's box behaviour to `box`: its whole text is selected whenever it gets the
/// focus and, when `filter` is given, every typed character passes through it first.
void setUpInputBox(QLineEdit* box, KeyFilterFunction filter = {});

/// Calls `handler` when `box` loses the focus to another control of its window (not when its
/// window is deactivated or a menu pops up).
void onFocusLost(QLineEdit* box, std::function<void()> handler);

/// Calls `handler` after every key release in `box` of a key that was pressed in it (not the
/// release of an Enter that closed a message box), leaving out modifier keys and shortcuts.
void onKeyRelease(QLineEdit* box, std::function<void()> handler);

}  // namespace zentrel::gui
