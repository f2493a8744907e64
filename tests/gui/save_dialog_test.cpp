// Save dialogs: the extension a bare name gets and the folder a dialog opens in.
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "shell/save_dialog.h"

using namespace zentrel::gui;

class SaveDialogTest : public QObject {
    Q_OBJECT
private slots:
    void extensionComesFromTheFiltersFirstPattern() {
        QCOMPARE(filterExtension(QStringLiteral("Zentrel (*.zte)")), QStringLiteral(".zte"));
        QCOMPARE(filterExtension(QStringLiteral("Data (*.Dat)|*.Dat")), QStringLiteral(".Dat"));
        QCOMPARE(filterExtension(QStringLiteral("Rastell (*.IMG)")), QStringLiteral(".IMG"));
        QCOMPARE(filterExtension(QStringLiteral("All Files (*)")), QString());
    }

    void bareNameGetsTheExtensionOthersAreKept() {
        const QString zte = QStringLiteral("Zentrel (*.zte)");
        QCOMPARE(withFilterExtension(QStringLiteral("/tmp/out1"), zte), QStringLiteral("/tmp/out1.zte"));
        QCOMPARE(withFilterExtension(QStringLiteral("/tmp/out1."), zte), QStringLiteral("/tmp/out1.zte"));
        QCOMPARE(withFilterExtension(QStringLiteral("/tmp/out1.txt"), zte), QStringLiteral("/tmp/out1.txt"));
        QCOMPARE(withFilterExtension(QStringLiteral("/tmp/out1.zte"), zte), QStringLiteral("/tmp/out1.zte"));
        // A dot in a folder name is not an extension of the file.
        QCOMPARE(withFilterExtension(QStringLiteral("/tmp/v1.2/out"), zte), QStringLiteral("/tmp/v1.2/out.zte"));
        // Cancel stays cancel.
        QCOMPARE(withFilterExtension(QString(), zte), QString());
    }

    void dialogsOpenInTheLastUsedFolderNeverTheProgramsOwn() {
        QVERIFY(!lastUsedFolder().isEmpty());
        QVERIFY(QDir(lastUsedFolder()) != QDir(QCoreApplication::applicationDirPath()));
        QTemporaryDir dir;
        rememberFolder(QDir(dir.path()).filePath(QStringLiteral("out1.zte")));
        QCOMPARE(QDir(lastUsedFolder()), QDir(dir.path()));
        QTemporaryDir other;
        rememberFolder(other.path(), true);
        QCOMPARE(QDir(lastUsedFolder()), QDir(other.path()));
    }
};

QTEST_MAIN(SaveDialogTest)
#include "save_dialog_test.moc"
