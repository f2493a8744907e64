// The help browser window.
#include "shell/help_window.h"
#include "shell/placement.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "shell/help_content.h"
#include "shell/icons.h"

namespace zentrel::gui {

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Zentrel Help"));
    setWindowIcon(pictureIcon(Picture::Help));
    browser_ = new QTextBrowser(this);
    browser_->setOpenLinks(true);
    browser_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);  // the text wraps at the window width
    browser_->setHtml(helpHtml());

    auto* contents = new QPushButton(QStringLiteral("Contents"), this);
    auto* index = new QPushButton(QStringLiteral("Index"), this);
    auto* back = new QPushButton(QStringLiteral("Back"), this);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    connect(contents, &QPushButton::clicked, this, &HelpWindow::showContents);
    connect(index, &QPushButton::clicked, this, &HelpWindow::showIndex);
    connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    back->setEnabled(false);
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(contents);
    buttons->addWidget(index);
    buttons->addWidget(back);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(browser_);
    resize(720, 600);
}

void HelpWindow::showContents() { showAt(kHelpContentsAnchor); }
void HelpWindow::showIndex() { showAt(kHelpIndexAnchor); }

void HelpWindow::showAt(const char* anchor) {
    placeOnce(this, parentWidget());
    show();
    raise();
    activateWindow();
    browser_->scrollToAnchor(QLatin1String(anchor));
}

}  // namespace zentrel::gui
