// The program's single message-box entry point.
#include "shell/message_box.h"

namespace zentrel::gui {

namespace {
MessageBoxHandler& installedHandler() {
    static MessageBoxHandler handler;
    return handler;
}

QMessageBox::StandardButton showReal(QWidget* parent, const MessageRequest& request) {
    QMessageBox box(request.icon, request.title, request.text, request.buttons, parent);
    if (request.defaultButton != QMessageBox::NoButton) box.setDefaultButton(request.defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}
}  // namespace

MessageBoxHandler setMessageBoxHandler(MessageBoxHandler handler) {
    MessageBoxHandler previous = std::move(installedHandler());
    installedHandler() = std::move(handler);
    return previous;
}

QMessageBox::StandardButton showMessage(QWidget* parent, const MessageRequest& request) {
    if (const MessageBoxHandler& handler = installedHandler()) return handler(parent, request);
    return showReal(parent, request);
}

QMessageBox::StandardButton showMessage(QWidget* parent, const QString& title, const QString& text,
                                        QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) {
    return showMessage(parent, MessageRequest{title, text, icon, buttons, defaultButton});
}

QMessageBox::StandardButton showMessage(QWidget* parent, const SettingsMessage& message) {
    return showMessage(parent, QString::fromStdString(message.title), displayText(message.text),
                       toQtIcon(message.icon));
}

QString displayText(const std::string& text) {
    QString out = QString::fromStdString(text);
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

QMessageBox::Icon toQtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Critical: return QMessageBox::Critical;
        case MessageIcon::Exclamation: return QMessageBox::Warning;
        case MessageIcon::Question: return QMessageBox::Question;
        case MessageIcon::Information: return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

}  // namespace zentrel::gui
