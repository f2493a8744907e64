// zentrel-gui: the desktop program. Starts with the introduction window, then the main window.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>

#include "data/data_folder.h"
#include "shell/icons.h"
#include "shell/intro_window.h"
#include "shell/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zentrel"));
    QApplication::setWindowIcon(zentrel::gui::pictureIcon(zentrel::gui::Picture::LocationBitmap));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Long-term monthly climate of any point on the Earth's land surface."));
    parser.addHelpOption();
    const QCommandLineOption dataOption(QStringLiteral("data"),
                                        QStringLiteral("Data folder to read instead of ZentrelData beside the program."),
                                        QStringLiteral("DIR"));
    const QCommandLineOption noIntroOption(QStringLiteral("no-intro"),
                                           QStringLiteral("Start directly with the main window."));
    parser.addOption(dataOption);
    parser.addOption(noIntroOption);
    parser.process(app);

    const std::string dataFolder = zentrel::resolveDataFolder(QCoreApplication::applicationDirPath().toStdString(),
                                                              parser.value(dataOption).toStdString());
    zentrel::gui::MainWindow main(QDir::cleanPath(QString::fromStdString(dataFolder)));
    if (parser.isSet(noIntroOption)) {
        main.show();
        main.checkDataFolder();
    } else {
        auto* intro = new zentrel::gui::IntroWindow(main);
        intro->setAttribute(Qt::WA_DeleteOnClose);
        intro->show();
    }
    return QApplication::exec();
}
