// frmSummary: a read-only text window with a Close button.
#include "batch/summary_window.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace zentrel::gui {

SummaryWindow::SummaryWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmSummary"));
    setWindowTitle(QStringLiteral("Summary of processed Data"));
    text_ = new QPlainTextEdit(this);
    text_->setReadOnly(true);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addWidget(buttons);
    resize(720, 420);
}

void SummaryWindow::setText(const QString& text) { text_->setPlainText(text); }
QString SummaryWindow::text() const { return text_->toPlainText(); }

}  // namespace zentrel::gui
