// Key filters, Enter as Tab, select-all on focus and focus-loss hooks of input boxes.
#include "shell/input_box.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

#include <set>

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
                pressed_.clear();
                // Deferred: a mouse click would otherwise place the cursor and undo the selection.
                if (selectAll) QTimer::singleShot(0, box_, [box = box_] { if (box->hasFocus()) box->selectAll(); });
                return false;
            case QEvent::FocusOut: {
                pressed_.clear();
                const auto reason = static_cast<QFocusEvent*>(event)->reason();
                if (focusLost && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) focusLost();
                return false;
            }
            case QEvent::KeyPress: {
                pressed_.insert(static_cast<QKeyEvent*>(event)->key());
                const char32_t key = typedCharacter(*static_cast<QKeyEvent*>(event));
                if (key == 0) return false;
                if (key == U'\r') {
                    sendTab(box_);
                    return true;
                }
                return filter && !filter(key);
            }
            case QEvent::KeyRelease: {
                // Only the release of a key that was pressed in this box counts: the Enter that
                // closed a message box, or moved the focus here, must not run the box's check
                // again (it would open the same message in an endless loop). Modifier keys and
                // shortcuts (Ctrl+A) edit nothing and run no check either.
                const auto* key = static_cast<QKeyEvent*>(event);
                const bool mine = pressed_.erase(key->key()) > 0;
                if (mine && keyRelease && !isModifierKey(key->key()) &&
                    !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
                    keyRelease();
                return false;
            }
            default:
                return false;
        }
    }

private:
    static bool isModifierKey(int key) {
        return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Meta ||
               key == Qt::Key_AltGr || key == Qt::Key_CapsLock;
    }

    QLineEdit* box_;
    std::set<int> pressed_;  // keys pressed in this box and not yet released
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
