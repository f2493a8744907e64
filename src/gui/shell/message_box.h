// Message boxes of the whole program go through one function, so tests can read them without blocking.
#pragma once

#include <functional>
#include <string>

#include <QMessageBox>
#include <QString>

#include "settings/program_settings.h"

namespace zentrel::gui {

/// Title used where a message has no title of its own (the program's name).
inline const QString kDefaultMessageTitle = QStringLiteral("Zentrel");

/// One message box as the program asks for it.
struct MessageRequest {
    QString title;
    QString text;  ///< lines separated by "\n"
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

/// Shows a request and returns the button pressed.
using MessageBoxHandler = std::function<QMessageBox::StandardButton(QWidget* parent, const MessageRequest&)>;

/// Replaces the real message box (tests record requests and answer them); an empty handler
/// restores the real one. Returns the handler that was installed before.
MessageBoxHandler setMessageBoxHandler(MessageBoxHandler handler);

/// Shows a message box, modal to `parent`, and returns the button pressed.
QMessageBox::StandardButton showMessage(QWidget* parent, const MessageRequest& request);
QMessageBox::StandardButton showMessage(QWidget* parent, const QString& title, const QString& text,
                                        QMessageBox::Icon icon,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
/// A message of the core (settings checks), with its icon and a single OK button.
QMessageBox::StandardButton showMessage(QWidget* parent, const SettingsMessage& message);

/// Message text of the core for display: every CR (code 13) becomes a line break.
QString displayText(const std::string& text);
QMessageBox::Icon toQtIcon(MessageIcon icon);

}  // namespace zentrel::gui
