// FormLocation: typed coordinates, terrain altitude while typing, range and polar checks.
#include "locations/location_dialog.h"

#include <QApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "base/picture.h"
#include "data/terrain.h"
#include "error.h"
#include "locations/location_rules.h"
#include "shell/app_state.h"
#include "shell/input_box.h"
#include "shell/message_box.h"
#include "shell/placement.h"

namespace zentrel::gui {

LocationDialog::LocationDialog(AppState& state, QWidget* clientArea, QWidget* parent)
    : QDialog(parent), state_(state), clientArea_(clientArea) {
    setObjectName(QStringLiteral("FormLocation"));
    setWindowTitle(QStringLiteral("Choose Location"));
    createControls();
}

void LocationDialog::createControls() {
    auto box = [this](const char* name, const QString& text, const QString& toolTip) {
        auto* edit = new QLineEdit(text, this);
        edit->setObjectName(QLatin1String(name));
        edit->setToolTip(toolTip);
        setUpInputBox(edit);  // any key goes in; Enter moves on
        return edit;
    };
    Text2 = box("Text2", {}, {});
    Text2->setMinimumWidth(fontMetrics().averageCharWidth() * 32);
    txtlong = box("txtlong", QStringLiteral("12.483"), QStringLiteral("Give Longitude as a decimal number"));
    txtLat = box("txtLat", QStringLiteral("41.9"), QStringLiteral("Give Latitude as a decimal number"));
    txtElev = box("txtElev", {}, {});
    connect(txtlong, &QLineEdit::textChanged, this, &LocationDialog::lookUpElevation);
    connect(txtLat, &QLineEdit::textChanged, this, &LocationDialog::lookUpElevation);
    // The loaded name belongs to the loaded position: typing a new position empties it (unless
    // the user typed a name), so that "OK" generates a name that describes the new place.
    const auto forgetOldName = [this] {
        if (Text2->text() == loadedName_) Text2->clear();
    };
    connect(txtlong, &QLineEdit::textEdited, this, forgetOldName);
    connect(txtLat, &QLineEdit::textEdited, this, forgetOldName);
    onFocusLost(txtElev, [this] {
        // Leaving the box for "Cancel" cancels: no check stands in its way.
        if (isVisible() && QApplication::focusWidget() != CmdCanc) checkElevation();
    });

    auto* frame = new QGroupBox(QStringLiteral("Location"), this);
    auto* form = new QFormLayout(frame);
    form->addRow(QStringLiteral("Station Name"), Text2);
    form->addRow(QStringLiteral("Longitude:"), txtlong);
    form->addRow(QStringLiteral("Latitude   :"), txtLat);
    form->addRow(QStringLiteral("Altitude   :"), txtElev);

    cmdBack = new QPushButton(QStringLiteral("OK"), this);
    cmdBack->setObjectName(QStringLiteral("cmdBack"));
    CmdSave = new QPushButton(QStringLiteral("Save"), this);
    CmdSave->setObjectName(QStringLiteral("CmdSave"));
    CmdCanc = new QPushButton(QStringLiteral("Cancel"), this);
    CmdCanc->setObjectName(QStringLiteral("CmdCanc"));
    for (QPushButton* button : {cmdBack, CmdSave, CmdCanc}) button->setAutoDefault(false);
    connect(cmdBack, &QPushButton::clicked, this, &LocationDialog::confirm);
    connect(CmdSave, &QPushButton::clicked, this, &LocationDialog::save);
    connect(CmdCanc, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdBack);
    buttons->addWidget(CmdSave);
    buttons->addWidget(CmdCanc);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(buttons);
}

void LocationDialog::showEvent(QShowEvent* event) {
    // Every opening shows the current location, not what the last opening left in the boxes.
    if (!event->spontaneous()) {
        load();
        centreInOnce(this, clientArea_);
    }
    QDialog::showEvent(event);
}

void LocationDialog::load() {
    const Location& current = state_.currentLocation();
    terrainErrorShown_ = false;
    loading_ = true;  // the altitude comes from the location, not from the raster
    loadedName_ = QString::fromStdString(current.Name);
    Text2->setText(loadedName_);
    txtlong->setText(QString::fromStdString(shortestFloat(current.Lon)));
    txtLat->setText(QString::fromStdString(shortestFloat(current.Lat)));
    txtElev->setText(QString::fromStdString(shortestFloat(current.Alt)));
    loading_ = false;
}

void LocationDialog::lookUpElevation() {
    if (loading_) return;
    const float lon = readCoordinate(txtlong->text(), true);
    const float lat = readCoordinate(txtLat->text(), true);
    if (!longitudeInRange(lon) || !latitudeInRange(lat)) return;
    try {
        int16_t isSea = 0;  // a sea point reads 0 m; the flag is not used here
        txtElev->setText(QString::number(TerrainAltitude(state_.dataFolderPath(), lon, lat, isSea)));
    } catch (const Error& e) {
        if (terrainErrorShown_) return;
        terrainErrorShown_ = true;
        showMessage(this, QStringLiteral("Elevation"), QString::fromStdString(e.what()), QMessageBox::Warning);
    }
}

void LocationDialog::refocus(QLineEdit* box) {
    // After the focus change under way has finished: setting it from inside a focus-out
    // handler would be undone by that change.
    QTimer::singleShot(0, box, [box] { box->setFocus(Qt::OtherFocusReason); });
}

bool LocationDialog::checkElevation() {
    const float elevation = readCoordinate(txtElev->text(), false);
    if (!elevationInRange(elevation)) {
        showMessage(this, QStringLiteral("Please Correct"), QStringLiteral("Elevation should be between -350 and 8848m."),
                    QMessageBox::Critical);
        refocus(txtElev);
        return false;
    }
    if (elevation < 0) {
        const auto answer = showMessage(this, QStringLiteral("Warning!"), QStringLiteral("Your location is below Mean Sea Level."),
                                        QMessageBox::Question, QMessageBox::Ok | QMessageBox::Cancel);
        if (answer == QMessageBox::Cancel) {
            refocus(txtElev);
            return false;
        }
    }
    return true;
}

bool LocationDialog::confirm() {
    const float lon = readCoordinate(txtlong->text(), false);
    if (!longitudeInRange(lon)) {
        showMessage(this, kStrangeLocationTitle, kLongitudeRangeText, QMessageBox::Critical);
        refocus(txtlong);
        return false;
    }
    const float lat = readCoordinate(txtLat->text(), false);
    if (!latitudeInRange(lat)) {
        showMessage(this, kStrangeLocationTitle, kLatitudeRangeText, QMessageBox::Critical);
        refocus(txtLat);
        return false;
    }
    if (isPolar(lat)) {
        const auto answer =
            showMessage(this, QStringLiteral(" Polar Region"),
                        QStringLiteral("Please note that the specified point lies in the polar region. Do you want continue?"),
                        QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
        if (answer != QMessageBox::Yes) return false;
    }
    Location location{Text2->text().toStdString(), lon, lat, readCoordinate(txtElev->text(), false)};
    state_.WriteStatusLocation(location);
    state_.markStale();
    hide();
    return true;
}

bool LocationDialog::save() {
    if (!confirm()) return false;
    emit saveRequested();
    return true;
}

}  // namespace zentrel::gui
