// frmIntroduction.
#include "shell/intro_window.h"

#include <QEvent>
#include <QLabel>
#include <QVBoxLayout>

#include "shell/icons.h"
#include "shell/main_window.h"
#include "shell/placement.h"

namespace zentrel::gui {

IntroWindow::IntroWindow(MainWindow& main, QWidget* parent) : QWidget(parent), main_(main) {
    setObjectName(QStringLiteral("frmIntroduction"));
    setWindowTitle(QStringLiteral("Zentrel"));
    setWindowIcon(pictureIcon(Picture::LocationBitmap));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(236, 242, 248));
    setPalette(palette);

    auto* title = new QLabel(MainWindow::caption(), this);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.8);
    titleFont.setBold(true);
    title->setFont(titleFont);
    title->setAlignment(Qt::AlignCenter);

    text_ = new QLabel(this);
    text_->setObjectName(QStringLiteral("labIntro"));
    text_->setWordWrap(true);
    text_->setAlignment(Qt::AlignCenter);
    text_->setCursor(Qt::PointingHandCursor);
    text_->setText(QStringLiteral(
        "<p>Long-term monthly climate for any point on the Earth's land surface, "
        "estimated from a world database of climate stations.</p>"
        "<p>Temperature (mean, maximum, minimum), precipitation, water vapour pressure, "
        "potential evapotranspiration, wind speed and sunshine, with their errors and warnings.</p>"
        "<p><b>Click here to start.</b></p>"));
    text_->setMinimumWidth(text_->fontMetrics().averageCharWidth() * 72);
    text_->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(36, 30, 36, 30);
    layout->setSpacing(18);
    layout->addWidget(title);
    layout->addWidget(text_);
}

void IntroWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (loaded_) return;
    loaded_ = true;
    centreOnScreen(this);
    main_.childWindows().preload();
}

bool IntroWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == text_ && event->type() == QEvent::MouseButtonRelease) {
        proceed();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void IntroWindow::proceed() {
    main_.show();
    main_.checkDataFolder();
    close();
    emit proceeded();
}

}  // namespace zentrel::gui
