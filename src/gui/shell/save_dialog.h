// Save dialogs as a user of a current desktop expects them: the filter's extension is added
// to a name typed without one, and the dialog opens in the folder used last.
#pragma once

#include <QString>

class QWidget;

namespace zentrel::gui {

/// The extension of the first pattern of a filter, with its dot: "Zentrel (*.zte)" gives
/// ".zte", "Data (*.Dat)|*.Dat" gives ".Dat"; "" when the filter names none.
QString filterExtension(const QString& filter);

/// `fileName` with the filter's extension added when the file name has none
/// ("out1" → "out1.zte"); a name with any extension ("out1.txt") is kept as typed.
QString withFilterExtension(const QString& fileName, const QString& filter);

/// Folder the save and folder dialogs open in: the one used last in this run, else the
/// user's documents folder (never the program's own folder).
QString lastUsedFolder();
/// Remembers the folder of a chosen file or folder for the next dialog.
void rememberFolder(const QString& fileOrFolder, bool isFolder = false);

/// The save-file dialog: opens in `folder` (default: lastUsedFolder()), returns the chosen
/// name with the filter's extension (see withFilterExtension), or "" on cancel.
QString getSaveFileName(QWidget* parent, const QString& caption, const QString& filter, const QString& folder = {});

/// The choose-a-folder dialog, opening in lastUsedFolder(); "" on cancel.
QString getExistingFolder(QWidget* parent, const QString& caption);

}  // namespace zentrel::gui
