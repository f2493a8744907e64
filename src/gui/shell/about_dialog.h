// frmAbout: program title and credits, including the open data the program reads, and what the
// station database in use holds ("About the data").
#pragma once

#include <QDialog>

namespace zentrel::gui {

/// frmAbout.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    /// dataFolder: the data folder whose station database "About the data" describes.
    explicit AboutDialog(const QString& dataFolder, QWidget* parent = nullptr);
};

/// "Version ..." and, when dataFolder is not empty, the data folder and its database, one a line.
QString versionText(const QString& dataFolder);

/// The description and credits as HTML.
QString aboutHtml();

}  // namespace zentrel::gui
