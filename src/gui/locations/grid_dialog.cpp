// FrmGrid: key filter, the checks when a box is left, and "OK" that lays out the grid.
#include "locations/grid_dialog.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "error.h"
#include "settings/program_settings.h"
#include "shell/input_box.h"
#include "shell/message_box.h"

namespace zentrel::gui {

GridDialog::GridDialog(ElevationLookup elevation, RowsHandler handler, QWidget* parent)
    : QDialog(parent), elevation_(std::move(elevation)), handler_(std::move(handler)) {
    setObjectName(QStringLiteral("FrmGrid"));
    setWindowTitle(QStringLiteral("Definition of a Grid"));
    createControls();
}

void GridDialog::createControls() {
    const KeyFilterFunction filter = [](char32_t key) {
        return key == U'\b' || key == U'-' || key == U'.' || (key >= U'0' && key <= U'9');
    };
    auto box = [&](const char* name, const char* text) {
        auto* edit = new QLineEdit(QLatin1String(text), this);
        edit->setObjectName(QLatin1String(name));
        edit->setAlignment(Qt::AlignRight);
        edit->setFixedWidth(fontMetrics().averageCharWidth() * 10 + 12);
        setUpInputBox(edit, filter);
        onFocusLost(edit, [this, edit] {
            if (isVisible()) checkBox(edit);
        });
        return edit;
    };
    txtLongMin = box("txtLongMin", "5");
    txtLongMax = box("txtLongMax", "15");
    txtLongStep = box("txtLongStep", "10");
    txtLatMin = box("txtLatMin", "40");
    txtLatMax = box("txtLatMax", "50");
    txtLatStep = box("txtLatStep", "10");

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("From"), this), 0, 1, Qt::AlignCenter);
    grid->addWidget(new QLabel(QStringLiteral("To"), this), 0, 2, Qt::AlignCenter);
    grid->addWidget(new QLabel(QStringLiteral("Number of Intervals"), this), 0, 3, Qt::AlignCenter);
    grid->addWidget(new QLabel(QStringLiteral("Longitude [°]"), this), 1, 0);
    grid->addWidget(txtLongMin, 1, 1);
    grid->addWidget(txtLongMax, 1, 2);
    grid->addWidget(txtLongStep, 1, 3, Qt::AlignCenter);
    grid->addWidget(new QLabel(QStringLiteral("Latitude [°]"), this), 2, 0);
    grid->addWidget(txtLatMin, 2, 1);
    grid->addWidget(txtLatMax, 2, 2);
    grid->addWidget(txtLatStep, 2, 3, Qt::AlignCenter);

    CmdRun = new QPushButton(QStringLiteral("OK"), this);
    CmdRun->setObjectName(QStringLiteral("CmdRun"));
    CmdCanc = new QPushButton(QStringLiteral("Cancel"), this);
    CmdCanc->setObjectName(QStringLiteral("CmdCanc"));
    for (QPushButton* button : {CmdRun, CmdCanc}) button->setAutoDefault(false);
    connect(CmdRun, &QPushButton::clicked, this, &GridDialog::confirm);
    connect(CmdCanc, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CmdRun);
    buttons->addWidget(CmdCanc);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(buttons);

    QWidget* order[] = {txtLongMin, txtLongMax, txtLongStep, txtLatMin, txtLatMax, txtLatStep, CmdRun, CmdCanc};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

bool GridDialog::checkBox(QLineEdit* box) {
    box->setText(box->text().replace(QLatin1Char(','), QLatin1Char('.')));
    const double value = leadingNumber(box->text().toStdString());
    QString title, text;
    if ((box == txtLongMin || box == txtLongMax) && (value < -180 || value > 180)) {
        title = QStringLiteral("Strange Location");
        text = QStringLiteral("Longitudes should be between -180 and +180 degrees.");
    } else if ((box == txtLatMin || box == txtLatMax) && (value < -90 || value > 90)) {
        title = QStringLiteral("Strange Location");
        text = QStringLiteral("Latitudes should be between -90 and +90 degrees.");
    } else if (box == txtLongStep && !(value > 0)) {
        title = QStringLiteral("Please,Correct.");
        text = QStringLiteral("Number of steps should be positive.");
    } else if (box == txtLatStep && !(value > 0)) {
        title = QStringLiteral("Please,Corect.");
        text = QStringLiteral("Number of steps should be positive");
    } else {
        return true;
    }
    showMessage(this, title, text, QMessageBox::Critical);
    // Deferred: the focus is still on its way to the next control.
    QTimer::singleShot(0, box, [box] { box->setFocus(); });
    return false;
}

bool GridDialog::confirm() {
    // The checks of leaving a box run here too, so that "OK" never lays out a grid from values
    // that were typed but never left (a number of intervals of 0 would never end).
    for (QLineEdit* box : {txtLongMin, txtLongMax, txtLongStep, txtLatMin, txtLatMax, txtLatStep})
        if (!checkBox(box)) return false;
    auto value = [](const QLineEdit* box) { return static_cast<float>(leadingNumber(box->text().toStdString())); };
    const GridDefinition grid{value(txtLongMin), value(txtLongMax), value(txtLongStep),
                              value(txtLatMin),  value(txtLatMax),  value(txtLatStep)};
    std::vector<LocationRow> rows;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        rows = gridLocations(grid, elevation_);
    } catch (const Error& e) {
        QApplication::restoreOverrideCursor();
        showMessage(this, kDefaultMessageTitle, QString::fromStdString(e.what()), QMessageBox::Critical);
        return false;
    }
    QApplication::restoreOverrideCursor();
    const QString source = QStringLiteral("Grid Lon %1 to %2 in %3 intervals, Lat %4 to %5 in %6 intervals")
                               .arg(txtLongMin->text(), txtLongMax->text(), txtLongStep->text(), txtLatMin->text(),
                                    txtLatMax->text(), txtLatStep->text());
    if (handler_) handler_(std::move(rows), source);
    accept();
    return true;
}

}  // namespace zentrel::gui
