// The help browser: the built-in help text at its contents or its index.
#pragma once

#include <QWidget>

class QTextBrowser;

namespace zentrel::gui {

/// Window of its own showing the help; created on first use and kept.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);
    /// "Help" (mn_TOC): the table of contents.
    void showContents();
    /// "Index" (mn_Index): the index.
    void showIndex();
    QTextBrowser* browser() const { return browser_; }

private:
    void showAt(const char* anchor);
    QTextBrowser* browser_;
};

}  // namespace zentrel::gui
