// Key filters, Enter as Tab, select-all on focus and focus-loss hooks of input boxes.
#include "shell/input_box.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

namespace zentrel::gui {

namespace {
/// Event hooks of one box; a child of the box, so it goes with it.
class BoxHooks : public QObject {
public:
    explicit BoxHooks(QLineEdit* box) : QObject(box), box_(box) {
        setObjectName(kName);
        box->installEventFilter(this);
    }

    /// The hooks of a box, made on first use. Found by name: this class has no meta-object of its own.
    static BoxHooks* of(QLineEdit* box) {
        if (auto* hooks = box->findChild<QObject*>(kName, Qt::FindDirectChildrenOnly)) return static_cast<BoxHooks*>(hooks);
        return new BoxHooks(box);
    }
    static inline const QString kName = QStringLiteral("zentrel_box_hooks");

    bool selectAll = false;
    KeyFilterFunction filter;
    std::function<void()> focusLost;
    std::function<void()> keyRelease;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != box_) return false;
        switch (event->type()) {
            case QEvent::FocusIn:
                // Deferred: a mouse click would otherwise place the cursor and undo the selection.
                if (selectAll) QTimer::singleShot(0, box_, [box = box_] { if (box->hasFocus()) box->selectAll(); });
                return false;
            case QEvent::FocusOut: {
                const auto reason = static_cast<QFocusEvent*>(event)->reason();
                if (focusLost && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) focusLost();
                return false;
            }
            case QEvent::KeyPress: {
                const char32_t key = typedCharacter(*static_cast<QKeyEvent*>(event));
                if (key == 0) return false;
                if (key == U'\r') {
                    sendTab(box_);
                    return true;
                }
                return filter && !filter(key);
            }
            case QEvent::KeyRelease:
                if (keyRelease) keyRelease();
                return false;
            default:
                return false;
        }
    }

private:
    QLineEdit* box_;
};
}  // namespace

char32_t typedCharacter(const QKeyEvent& event) {
    if (event.key() == Qt::Key_Backspace) return U'\b';
    if (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter) return U'\r';
    if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return 0;
    const QString text = event.text();
    if (text.isEmpty()) return 0;
    const char32_t c = text.toUcs4().value(0);
    return c < 0x20 || c == 0x7f ? 0 : c;
}

void sendTab(QWidget* widget) {
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
    QApplication::sendEvent(widget, &tab);
}

void setUpInputBox(QLineEdit* box, KeyFilterFunction filter) {
    BoxHooks* hooks = BoxHooks::of(box);
    hooks->selectAll = true;
    hooks->filter = std::move(filter);
}

void onFocusLost(QLineEdit* box, std::function<void()> handler) { BoxHooks::of(box)->focusLost = std::move(handler); }

void onKeyRelease(QLineEdit* box, std::function<void()> handler) { BoxHooks::of(box)->keyRelease = std::move(handler); }

}  // namespace zentrel::gui
