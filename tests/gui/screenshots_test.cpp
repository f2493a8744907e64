// Screenshots of the main window with its menus open and of each dialog, for looking at.
// Skipped unless ZENTREL_SCREENSHOT_DIR names a folder to write the PNG files into.
#include <QDir>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <QToolButton>

#include "gui_test_support.h"
#include "locations/coordinate_dialog.h"
#include "locations/location_dialog.h"
#include "shell/about_dialog.h"
#include "shell/help_window.h"
#include "shell/intro_window.h"
#include "shell/main_window.h"
#include "shell/message_box.h"
#include "shell/settings_dialog.h"

using namespace zentrel::gui;

class Screenshots : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        folder_ = qEnvironmentVariable("ZENTREL_SCREENSHOT_DIR");
        if (folder_.isEmpty()) QSKIP("ZENTREL_SCREENSHOT_DIR not set");
        QDir().mkpath(folder_);
        test::writeTerrain(terrain_, {{12.483f, 41.9f, 3}});
        window_ = std::make_unique<MainWindow>(terrain_.path());
        window_->move(0, 0);
        window_->resize(1100, 720);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }
    void cleanupTestCase() { window_.reset(); }

    void intro() {
        IntroWindow intro(*window_);
        intro.show();
        QVERIFY(QTest::qWaitForWindowExposed(&intro));
        save(intro.grab(), "intro");
    }

    void mainWindowWithMenus() {
        save(window_->grab(), "main");
        for (const char* name : {"mn_files", "mn_locations", "mn_View", "mn_Output", "mn_Options", "mn_window", "mn_help"}) {
            auto* menu = window_->findChild<QMenu*>(QLatin1String(name));
            window_->menuBar()->setActiveAction(menu->menuAction());
            QTest::qWait(150);
            QList<QMenu*> open{menu};
            // Open the first submenu too, so that its items show.
            for (QAction* item : menu->actions())
                if (item->menu()) {
                    menu->setActiveAction(item);
                    QTest::qWait(400);
                    open.append(item->menu());
                    break;
                }
            if (!menu->activeAction() && !menu->actions().isEmpty()) {
                menu->setActiveAction(menu->actions().first());
                QTest::qWait(50);
            }
            save(composite(open), QStringLiteral("menu_%1").arg(QLatin1String(name)));
            for (QMenu* m : open) m->hide();
            window_->menuBar()->setActiveAction(nullptr);
            QTest::qWait(50);
        }
        QMenu* formats = window_->toolbarButton(13)->menu();
        formats->popup(window_->toolbarButton(13)->mapToGlobal(QPoint(0, window_->toolbarButton(13)->height())));
        QTest::qWait(150);
        save(composite({formats}), "toolbar_formats");
        formats->hide();
    }

    void dialogs() {
        window_->showSettings();
        save(grabShown(window_->settingsDialog()), "settings");
        window_->settingsDialog()->hide();
        window_->showLocationDialog();
        save(grabShown(window_->locationDialog()), "location");
        window_->locationDialog()->hide();
        window_->showCoordinateDialog();
        save(grabShown(window_->coordinateDialog()), "coordinates");
        window_->coordinateDialog()->hide();
        window_->showAbout();
        save(grabShown(window_->findChild<QDialog*>("frmAbout")), "about");
        window_->showHelpContents();
        save(grabShown(window_->helpWindow()), "help");
        window_->showHelpIndex();
        QTest::qWait(50);
        save(window_->helpWindow()->grab(), "help_index");
    }

    void messageBoxes() {
        const std::tuple<QMessageBox::Icon, QString, QString, const char*> boxes[] = {
            {QMessageBox::Information, kDefaultMessageTitle, notAvailableText(ChildWindow::SingleLocation), "message_placeholder"},
            {QMessageBox::Critical, QStringLiteral("Too small Minimum Distance"),
             displayText("Inverse Distance Averaging not allowed \rif the   Nearest Neighbour is closer than 100 m.\r\rDistance  was changed to 100m. "),
             "message_mindist"},
            {QMessageBox::Question, QStringLiteral(" Polar Region"),
             QStringLiteral("Please note that the specified point lies in the polar region. Do you want continue?"), "message_polar"}};
        for (const auto& [icon, title, text, name] : boxes) {
            QMessageBox box(icon, title, text, QMessageBox::Ok, window_.get());
            box.show();
            save(grabShown(&box), QLatin1String(name));
        }
    }

    void screenWithDialogs() {
        window_->showSettings();
        window_->showCoordinateDialog();
        QTest::qWait(300);
        if (QScreen* screen = window_->screen()) save(screen->grabWindow(0), "screen");
    }

private:
    QPixmap grabShown(QWidget* widget) {
        if (!QTest::qWaitForWindowExposed(widget)) qWarning("window not exposed");
        QTest::qWait(100);
        return widget->grab();
    }
    /// The main window with the given popups drawn where they are on the screen.
    QPixmap composite(const QList<QMenu*>& popups) {
        QPixmap picture = window_->grab();
        QPainter painter(&picture);
        const QPoint origin = window_->mapToGlobal(QPoint(0, 0));
        for (QMenu* popup : popups)
            if (popup->isVisible()) painter.drawPixmap(popup->pos() - origin, popup->grab());
        return picture;
    }
    void save(const QPixmap& picture, const QString& name) {
        QVERIFY(picture.save(QDir(folder_).filePath(name + QStringLiteral(".png"))));
    }

    QString folder_;
    QTemporaryDir terrain_;
    std::unique_ptr<MainWindow> window_;
};

QTEST_MAIN(Screenshots)
#include "screenshots_test.moc"
