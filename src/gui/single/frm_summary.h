// frmSummary ("Summary of processed Data"): the summary list of a batch run.
#pragma once

#include <QWidget>

class QPlainTextEdit;

namespace zentrel::gui::single {

/// The header line and the run's summary lines in a fixed-pitch text box.
class frmSummary : public QWidget {
    Q_OBJECT
public:
    explicit frmSummary(QWidget* parent = nullptr);
    /// Shows the header and `lines`, joined by line breaks.
    void setLines(const QStringList& lines);
    QString text() const;

private:
    QPlainTextEdit* Text1 = nullptr;
};

}  // namespace zentrel::gui::single
