// frmAbout: program title and credits, including the open data the program reads.
#pragma once

#include <QDialog>

namespace zentrel::gui {

/// frmAbout.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

/// The description and credits as HTML.
QString aboutHtml();

}  // namespace zentrel::gui
