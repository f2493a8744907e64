// frmCoord: conversions both ways, hemisphere key filters, range messages and "OK".
#include "locations/coordinate_dialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "base/picture.h"
#include "data/terrain.h"
#include "error.h"
#include "locations/degrees.h"
#include "locations/location_rules.h"
#include "settings/program_settings.h"
#include "shell/app_state.h"
#include "shell/input_box.h"
#include "shell/message_box.h"
#include "shell/placement.h"

namespace zentrel::gui {

namespace {
bool isDigit(char32_t key) { return key >= U'0' && key <= U'9'; }

int16_t readPart(const QLineEdit* box) { return roundHalfEven16(leadingNumber(box->text().toStdString())); }

/// Hemisphere box filter: the two letters in either case and Backspace; anything else is
/// refused with the box's note.
KeyFilterFunction hemisphereFilter(QWidget* dialog, char32_t first, char32_t second, const QString& note) {
    return [dialog, first, second, note](char32_t key) {
        auto lower = [](char32_t c) { return c + (U'a' - U'A'); };
        if (key == U'\b' || key == first || key == second || key == lower(first) || key == lower(second)) return true;
        showMessage(dialog, QString(), note, QMessageBox::NoIcon);
        return false;
    };
}
}  // namespace

CoordinateDialog::CoordinateDialog(AppState& state, QWidget* clientArea, QWidget* parent)
    : QDialog(parent), state_(state), clientArea_(clientArea) {
    setObjectName(QStringLiteral("frmCoord"));
    setWindowTitle(QStringLiteral("Transformation of Coordinates"));
    createControls();
}

void CoordinateDialog::createControls() {
    auto box = [this](const char* name, const QString& toolTip, KeyFilterFunction filter, int widthInChars) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(name));
        edit->setToolTip(toolTip);
        edit->setAlignment(Qt::AlignRight);
        edit->setFixedWidth(fontMetrics().averageCharWidth() * widthInChars + 12);
        setUpInputBox(edit, std::move(filter));
        return edit;
    };
    const KeyFilterFunction decimalFilter = [](char32_t key) {
        return key == U'\b' || key == U'-' || key == U'.' || isDigit(key);
    };
    const KeyFilterFunction partFilter = [](char32_t key) { return key == U'\b' || isDigit(key); };

    txtlong = box("txtlong", QStringLiteral("Give Longitude as a decimal number"), decimalFilter, 12);
    txtLat = box("txtLat", QStringLiteral("Give Latitude as a decimal number"), decimalFilter, 12);
    txtlong->setText(QStringLiteral("12.483"));
    txtLat->setText(QStringLiteral("41.9"));
    txtLongGrad = box("txtLongGrad", QStringLiteral("Give Degrees of Longitude"), partFilter, 6);
    txtLongMin = box("txtLongMin", QStringLiteral("Give Minutes of Longitude"), partFilter, 6);
    txtLongSec = box("txtLongSec", QStringLiteral("Give Seconds of Longitude"), partFilter, 6);
    txtLongOW = box("txtLongOW", QStringLiteral("Give E for East or W for West"),
                    hemisphereFilter(this, U'E', U'W', QStringLiteral("E for East or W for West. That's all.")), 4);
    txtLatGrad = box("txtLatGrad", QStringLiteral("Give Degrees of Latitude"), partFilter, 6);
    txtLatMin = box("txtLatMin", QStringLiteral("Give Minutes of Latitude"), partFilter, 6);
    txtLatSec = box("txtLatSec", QStringLiteral("Give Seconds of Latitude"), partFilter, 6);
    txtLatNS = box("txtLatNS", QStringLiteral("Give N for North or S for South"),
                   hemisphereFilter(this, U'N', U'S', QStringLiteral("S for South or N for North. That's all.")), 4);
    for (QLineEdit* hemisphere : {txtLongOW, txtLatNS}) hemisphere->setAlignment(Qt::AlignCenter);

    onKeyRelease(txtlong, [this] { decimalBoxReleased(txtlong); });
    onKeyRelease(txtLat, [this] { decimalBoxReleased(txtLat); });
    for (QLineEdit* part : {txtLongGrad, txtLongMin, txtLongSec, txtLongOW, txtLatGrad, txtLatMin, txtLatSec, txtLatNS})
        onKeyRelease(part, [this] { degreesToDecimal(); });

    auto* decimal = new QGroupBox(QStringLiteral("Location (decimal)"), this);
    auto* decimalGrid = new QGridLayout(decimal);
    decimalGrid->addWidget(new QLabel(QStringLiteral("Longitude:"), this), 0, 0);
    decimalGrid->addWidget(txtlong, 0, 1);
    decimalGrid->addWidget(new QLabel(QStringLiteral("Latitude   :"), this), 1, 0);
    decimalGrid->addWidget(txtLat, 1, 1);
    decimalGrid->setColumnStretch(2, 1);

    auto* sexagesimal = new QGroupBox(QStringLiteral("Location (degrees, minutes, seconds)"), this);
    auto* grid = new QGridLayout(sexagesimal);
    const QString headers[] = {QStringLiteral("Degrees"), QStringLiteral("Minutes"), QStringLiteral("Seconds"),
                               QStringLiteral("E/W, N/S")};
    for (int column = 0; column < 4; ++column) {
        auto* header = new QLabel(headers[column], this);
        header->setAlignment(Qt::AlignCenter);
        grid->addWidget(header, 0, column + 1);
    }
    grid->setColumnStretch(5, 1);
    grid->addWidget(new QLabel(QStringLiteral("Longitude:"), this), 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("Latitude   :"), this), 2, 0);
    QLineEdit* rows[2][4] = {{txtLongGrad, txtLongMin, txtLongSec, txtLongOW}, {txtLatGrad, txtLatMin, txtLatSec, txtLatNS}};
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < 4; ++column) grid->addWidget(rows[row][column], row + 1, column + 1);

    cmdBack = new QPushButton(QStringLiteral("OK"), this);
    cmdBack->setObjectName(QStringLiteral("cmdBack"));
    CmdCanc = new QPushButton(QStringLiteral("Cancel"), this);
    CmdCanc->setObjectName(QStringLiteral("CmdCanc"));
    for (QPushButton* button : {cmdBack, CmdCanc}) button->setAutoDefault(false);
    connect(cmdBack, &QPushButton::clicked, this, &CoordinateDialog::confirm);
    connect(CmdCanc, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdBack);
    buttons->addWidget(CmdCanc);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(decimal);
    layout->addWidget(sexagesimal);
    layout->addLayout(buttons);

    QWidget* order[] = {txtlong,    txtLat,    txtLongGrad, txtLongMin, txtLongSec, txtLongOW,
                        txtLatGrad, txtLatMin, txtLatSec,   txtLatNS,   cmdBack,    CmdCanc};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void CoordinateDialog::showEvent(QShowEvent* event) {
    // Every opening shows the current location.
    if (!event->spontaneous()) {
        load();
        centreInOnce(this, clientArea_);
    }
    QDialog::showEvent(event);
}

void CoordinateDialog::load() {
    const Location& current = state_.currentLocation();
    txtlong->setText(QString::fromStdString(shortestFloat(current.Lon)));
    txtLat->setText(QString::fromStdString(shortestFloat(current.Lat)));
    giveOldies();
}

void CoordinateDialog::giveOldies() {
    lon_ = readCoordinate(txtlong->text(), false);
    lat_ = readCoordinate(txtLat->text(), false);
    longOW_ = QString(QChar(longitudeHemisphere(lon_)));
    latNS_ = QString(QChar(latitudeHemisphere(lat_)));
    const DegreesMinutesSeconds lon = toDegreesMinutesSeconds(lon_);
    const DegreesMinutesSeconds lat = toDegreesMinutesSeconds(lat_);
    longGrad_ = lon.Degrees, longMin_ = lon.Minutes, longSec_ = lon.Seconds;
    latGrad_ = lat.Degrees, latMin_ = lat.Minutes, latSec_ = lat.Seconds;
    txtLongGrad->setText(QString::number(longGrad_));
    txtLongMin->setText(QString::number(longMin_));
    txtLongSec->setText(QString::number(longSec_));
    txtLongOW->setText(longOW_);
    txtLatGrad->setText(QString::number(latGrad_));
    txtLatMin->setText(QString::number(latMin_));
    txtLatSec->setText(QString::number(latSec_));
    txtLatNS->setText(latNS_);
}

void CoordinateDialog::degreesToDecimal() {
    longGrad_ = readPart(txtLongGrad), longMin_ = readPart(txtLongMin), longSec_ = readPart(txtLongSec);
    latGrad_ = readPart(txtLatGrad), latMin_ = readPart(txtLatMin), latSec_ = readPart(txtLatSec);
    longOW_ = txtLongOW->text();
    latNS_ = txtLatNS->text();
    const double lat = fromDegreesMinutesSeconds(latGrad_, latMin_, latSec_, isSouthern(latNS_.toStdString()));
    const double lon = fromDegreesMinutesSeconds(longGrad_, longMin_, longSec_, isWestern(longOW_.toStdString()));
    lat_ = static_cast<float>(lat);
    lon_ = static_cast<float>(lon);
    txtLat->setText(QString::fromStdString(decimalDegreesText(lat)));
    txtlong->setText(QString::fromStdString(decimalDegreesText(lon)));
}

void CoordinateDialog::decimalBoxReleased(QLineEdit* box) {
    const float lon = readCoordinate(txtlong->text(), false);
    const float lat = readCoordinate(txtLat->text(), false);
    if (longitudeInRange(lon) && latitudeInRange(lat)) {
        giveOldies();
        return;
    }
    // The message names the value that is out of range, whichever box the key was typed in
    // (Ctrl+A in a good latitude box must not blame the latitude for the longitude).
    const bool longitudeWrong = !longitudeInRange(lon);
    const bool latitudeWrong = !latitudeInRange(lat);
    const bool blameLongitude = longitudeWrong && (box == txtlong || !latitudeWrong);
    showMessage(this, kStrangeLocationTitle, blameLongitude ? kLongitudeRangeText : kLatitudeRangeText,
                QMessageBox::Critical);
}

bool CoordinateDialog::confirm() {
    const float lon = readCoordinate(txtlong->text(), false);
    if (!longitudeInRange(lon)) {
        showMessage(this, kStrangeLocationTitle, kLongitudeRangeText, QMessageBox::Critical);
        return false;
    }
    const float lat = readCoordinate(txtLat->text(), false);
    if (!latitudeInRange(lat)) {
        showMessage(this, kStrangeLocationTitle, QStringLiteral("Latitude of your location should be between -90° and +90°."),
                    QMessageBox::Critical);
        return false;
    }
    Location location{"", lon, lat, 0};
    try {
        int16_t isSea = 0;  // passed and not used: a sea point gets 0 m
        location.Alt = TerrainAltitude(state_.dataFolderPath(), lon, lat, isSea);
    } catch (const Error& e) {
        showMessage(this, QStringLiteral("Elevation"), QString::fromStdString(e.what()), QMessageBox::Critical);
        return false;
    }
    state_.WriteStatusLocation(location);
    state_.markStale();
    hide();
    return true;
}

}  // namespace zentrel::gui
