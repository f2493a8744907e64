// frmSummary: "Summary of processed Data", the text summary shown after a batch run.
#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace zentrel::gui {

/// frmSummary. A read-only text of what the last run wrote and how often each warning came up.
class SummaryWindow : public QDialog {
    Q_OBJECT
public:
    explicit SummaryWindow(QWidget* parent = nullptr);
    void setText(const QString& text);
    QString text() const;

private:
    QPlainTextEdit* text_ = nullptr;
};

}  // namespace zentrel::gui
