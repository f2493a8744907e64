// zentrel-gui: the desktop program. Starts with the introduction window, then the main window.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "data/data_folder.h"
#include "data/folder_report.h"
#include "shell/icons.h"
#include "shell/intro_window.h"
#include "shell/main_window.h"
#include "version.h"

int main(int argc, char** argv) {
    // --version is answered before the window system is reached, so that it works without a display.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--version") == 0) {
            std::error_code ec;
            const std::string programDir = std::filesystem::read_symlink("/proc/self/exe", ec).parent_path().string();
            std::fputs(zentrel::versionReport("zentrel-gui", programDir).c_str(), stdout);
            return 0;
        }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zentrel"));
    QApplication::setApplicationVersion(QString::fromUtf8(zentrel::programVersion()));
    QApplication::setWindowIcon(zentrel::gui::pictureIcon(zentrel::gui::Picture::LocationBitmap));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Long-term monthly climate of any point on the Earth's land surface."));
    parser.addHelpOption();
    // Listed in --help; answered above.
    parser.addOption(QCommandLineOption(QStringLiteral("version"),
                                        QStringLiteral("Print the version, the data folder in use and its database.")));
    const QCommandLineOption dataOption(QStringLiteral("data"),
                                        QStringLiteral("Data folder to read (default: $ZENTREL_DATA, ZentrelData beside the program, the user data folder, the installed one)."),
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
