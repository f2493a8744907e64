// Save and folder dialogs with the extension added and the last folder remembered.
#include "shell/save_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace zentrel::gui {

namespace {
QString& rememberedFolder() {
    static QString folder;
    return folder;
}
}  // namespace

QString filterExtension(const QString& filter) {
    static const QRegularExpression pattern(QStringLiteral("\\*\\.([A-Za-z0-9_]+)"));
    const QRegularExpressionMatch m = pattern.match(filter);
    return m.hasMatch() ? QLatin1Char('.') + m.captured(1) : QString();
}

QString withFilterExtension(const QString& fileName, const QString& filter) {
    if (fileName.isEmpty()) return fileName;
    const QString extension = filterExtension(filter);
    if (extension.isEmpty() || !QFileInfo(fileName).suffix().isEmpty()) return fileName;
    // "out1." keeps its dot but still needs the extension's letters.
    if (fileName.endsWith(QLatin1Char('.'))) return fileName + extension.mid(1);
    return fileName + extension;
}

QString lastUsedFolder() {
    if (!rememberedFolder().isEmpty() && QDir(rememberedFolder()).exists()) return rememberedFolder();
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QDir(documents).exists()) return documents;
    return QDir::homePath();
}

void rememberFolder(const QString& fileOrFolder, bool isFolder) {
    if (fileOrFolder.isEmpty()) return;
    rememberedFolder() = isFolder ? QDir(fileOrFolder).absolutePath() : QFileInfo(fileOrFolder).absolutePath();
}

QString getSaveFileName(QWidget* parent, const QString& caption, const QString& filter, const QString& folder) {
    QFileDialog dialog(parent, caption, folder.isEmpty() ? lastUsedFolder() : folder, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QString extension = filterExtension(filter);
    if (!extension.isEmpty()) dialog.setDefaultSuffix(extension.mid(1));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    const QString chosen = withFilterExtension(dialog.selectedFiles().constFirst(), filter);
    rememberFolder(chosen);
    return chosen;
}

QString getExistingFolder(QWidget* parent, const QString& caption) {
    const QString folder = QFileDialog::getExistingDirectory(parent, caption, lastUsedFolder());
    rememberFolder(folder, true);
    return folder;
}

}  // namespace zentrel::gui
