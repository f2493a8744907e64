// frmIntroduction: the start-up window; a click on its text goes on to the main window.
#pragma once

#include <QWidget>

class QLabel;

namespace zentrel::gui {

class MainWindow;

/// frmIntroduction. Centred on the screen; runs the start-up work of the child windows
/// (the map's boundaries) while it shows.
class IntroWindow : public QWidget {
    Q_OBJECT
public:
    explicit IntroWindow(MainWindow& main, QWidget* parent = nullptr);
    /// The click on the text: closes this window and shows the main window.
    void proceed();

signals:
    void proceeded();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MainWindow& main_;
    QLabel* text_ = nullptr;
    bool loaded_ = false;
};

}  // namespace zentrel::gui
