// The "Export Rastell" panel of the raster map window: the box, resolution, variable, period
// and file type of an export, where the cells of that type lie, and its progress.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "maps/raster_export.h"
#include "maps/raster_map_window.h"

namespace zentrel::gui {

void RasterMapWindow::createExportPanel() {
    exportPanel_ = new QGroupBox(QStringLiteral("Export Rastell"), this);
    exportPanel_->setObjectName(QStringLiteral("ExportPanel"));
    auto edit = [this](const char* name) {
        auto* e = new QLineEdit(exportPanel_);
        e->setObjectName(QLatin1String(name));
        e->setMaximumWidth(110);
        return e;
    };
    TxtLonStart = edit("TxtLonStart");
    TxtLonEnd = edit("TxtLonEnd");
    TxtLatStart = edit("TxtLatStart");
    TxtLatEnd = edit("TxtLatEnd");
    resolutionCombo = new QComboBox(exportPanel_);
    resolutionCombo->setEditable(true);
    for (const char* r : kResolutionEntries) resolutionCombo->addItem(QLatin1String(r));
    resolutionCombo->setCurrentText(QStringLiteral("1"));
    connect(resolutionCombo, &QComboBox::activated, this, [this] { snapBoxes(); });
    variableCombo = new QComboBox(exportPanel_);
    for (const char* v : kVariableNames) variableCombo->addItem(QLatin1String(v));
    periodCombo = new QComboBox(exportPanel_);
    for (const char* p : kPeriodNames) periodCombo->addItem(QLatin1String(p));
    fileTypeCombo = new QComboBox(exportPanel_);
    fileTypeCombo->setObjectName(QStringLiteral("fileTypeCombo"));
    fileTypeCombo->addItems({QStringLiteral("Rastell (*.IMG)"), QStringLiteral("GeoTIFF (*.tif)")});
    geoTiffOptions_ = new QWidget(exportPanel_);
    auto* options = new QVBoxLayout(geoTiffOptions_);
    options->setContentsMargins(0, 0, 0, 0);
    allMonthsCheck = new QCheckBox(QStringLiteral("All months and the year (13 bands)"), geoTiffOptions_);
    stdErrCheck = new QCheckBox(QStringLiteral("Standard error"), geoTiffOptions_);
    boundsCheck = new QCheckBox(QStringLiteral("Low and high (90 %)"), geoTiffOptions_);
    biasCheck = new QCheckBox(QStringLiteral("Bias"), geoTiffOptions_);
    for (QCheckBox* box : {allMonthsCheck, stdErrCheck, boundsCheck, biasCheck}) options->addWidget(box);
    geoTiffOptions_->hide();
    // The two file types place their cells differently on the same box: said where it is chosen.
    LblGridNote = new QLabel(exportPanel_);
    LblGridNote->setObjectName(QStringLiteral("LblGridNote"));
    LblGridNote->setWordWrap(true);
    const auto showGridNote = [this] {
        LblGridNote->setText(geoTiffChosen()
                                 ? QStringLiteral("GeoTIFF cells fill the box: their centres lie half a cell inside its "
                                                  "edges. A Rastell image of the same box estimates on the edges, half "
                                                  "a cell apart from these.")
                                 : QStringLiteral("Rastell cells are centred on points from the box's edges on. A "
                                                  "GeoTIFF of the same box fills it with cells whose centres lie half "
                                                  "a cell inside."));
    };
    showGridNote();
    connect(fileTypeCombo, &QComboBox::currentIndexChanged, this, showGridNote);
    connect(fileTypeCombo, &QComboBox::currentIndexChanged, this, [this] {
        geoTiffOptions_->setVisible(geoTiffChosen());
        periodCombo->setEnabled(!(geoTiffChosen() && allMonthsCheck->isChecked()));
        fitSidePanel();
    });
    connect(allMonthsCheck, &QCheckBox::toggled, this, [this](bool all) { periodCombo->setEnabled(!all); });
    RastellSave = new QPushButton(QStringLiteral("Save"), exportPanel_);
    RastellCancel = new QPushButton(QStringLiteral("Cancel"), exportPanel_);
    RastellSave->setObjectName(QStringLiteral("RastellSave"));
    RastellCancel->setObjectName(QStringLiteral("RastellCancel"));
    connect(RastellSave, &QPushButton::clicked, this, [this] { startExport(); });
    connect(RastellCancel, &QPushButton::clicked, this, &RasterMapWindow::cancelExport);
    RastellBar = new QProgressBar(exportPanel_);
    RastellBar->setObjectName(QStringLiteral("RastellBar"));
    RastellBar->hide();
    LblLonLat = new QLabel(exportPanel_);
    LblLonLat->setObjectName(QStringLiteral("LblLonLat"));
    LblLonLat->hide();

    auto* grid = new QGridLayout(exportPanel_);
    int row = 0;
    auto add = [&](const char* label, QWidget* w) {
        grid->addWidget(new QLabel(QLatin1String(label), exportPanel_), row, 0);
        grid->addWidget(w, row++, 1);
    };
    add("Start Longitude", TxtLonStart);
    add("End Longitude", TxtLonEnd);
    add("Start Latitude", TxtLatStart);
    add("End Latitude", TxtLatEnd);
    add("Resolution", resolutionCombo);
    add("Variable", variableCombo);
    add("Period", periodCombo);
    add("File type", fileTypeCombo);
    grid->addWidget(LblGridNote, row++, 0, 1, 2);
    grid->addWidget(geoTiffOptions_, row++, 0, 1, 2);
    grid->addWidget(RastellSave, row, 0);
    grid->addWidget(RastellCancel, row++, 1);
    grid->addWidget(RastellBar, row++, 0, 1, 2);
    grid->addWidget(LblLonLat, row++, 0, 1, 2);
    exportPanel_->hide();
}

}  // namespace zentrel::gui
