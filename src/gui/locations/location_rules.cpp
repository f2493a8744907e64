// Reading coordinates from the location dialogs' boxes.
#include "locations/location_rules.h"

#include "settings/program_settings.h"

namespace zentrel::gui {

float readCoordinate(const QString& text, bool commaToPoint) {
    QString t = text;
    if (commaToPoint) t.replace(QLatin1Char(','), QLatin1Char('.'));
    return static_cast<float>(leadingNumber(t.toStdString()));
}

}  // namespace zentrel::gui
