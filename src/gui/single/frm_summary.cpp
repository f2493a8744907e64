// frmSummary: what a batch run produced.
#include "single/frm_summary.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace zentrel::gui::single {

frmSummary::frmSummary(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmSummary"));
    setWindowTitle(QStringLiteral("Summary of processed Data"));
    auto* layout = new QVBoxLayout(this);
    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setReadOnly(true);
    Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Text1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(Text1);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("CmdCanc"));
    connect(cancel, &QPushButton::clicked, this, [this] {
        if (parentWidget() && parentWidget()->inherits("QMdiSubWindow")) parentWidget()->close();
        else close();
    });
    layout->addWidget(cancel, 0, Qt::AlignRight);
    resize(760, 360);
}

void frmSummary::setLines(const QStringList& lines) {
    QStringList all{QStringLiteral("Variable, Long., Lat.,  Altit.,  A(Long), A(Lat), A(Alt),  #Nb,       Corr., Warnings")};
    all << lines;
    Text1->setPlainText(all.join(QLatin1Char('\n')));
}

QString frmSummary::text() const { return Text1->toPlainText(); }

}  // namespace zentrel::gui::single
