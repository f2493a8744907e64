// Helpers both map windows share.
#include "maps/map_view.h"

#include <QCoreApplication>
#include <QDir>

#include "data/data_folder.h"
#include "locations/degrees.h"
#include "maps/map_folder.h"

namespace zentrel::gui {

namespace {
QString dms(float value) {
    const DegreesMinutesSeconds d = toDegreesMinutesSeconds(value);
    return QStringLiteral("%1° %2' %3''").arg(d.Degrees).arg(d.Minutes).arg(d.Seconds);
}
}  // namespace

QString dmsStatusText(double lon, double lat) {
    const auto flon = static_cast<float>(lon), flat = static_cast<float>(lat);
    return QStringLiteral("Longitude= ") + dms(flon) + QLatin1Char(' ') + QLatin1Char(longitudeHemisphere(flon)) +
           QStringLiteral("  Latitude= ") + dms(flat) + QLatin1Char(' ') + QLatin1Char(latitudeHemisphere(flat)) +
           QLatin1Char(' ');
}

QImage toQImage(const RgbImage& image) {
    QImage out(image.Width, image.Height, QImage::Format_RGB888);
    for (int y = 0; y < image.Height; ++y) {
        uchar* line = out.scanLine(y);
        for (int x = 0; x < image.Width; ++x) {
            const Rgb& p = image.at(x, y);
            line[3 * x] = p.Red;
            line[3 * x + 1] = p.Green;
            line[3 * x + 2] = p.Blue;
        }
    }
    return out;
}

QString mapFolder(const QString& dataFolder) {
    const std::string found = locateMapFolder(QCoreApplication::applicationDirPath().toStdString(), dataFolder.toStdString());
    if (!found.empty()) return QString::fromStdString(found);
    QDir data(dataFolder);
    data.cdUp();
    return data.filePath(QLatin1String(kMapFolderName));
}

}  // namespace zentrel::gui
