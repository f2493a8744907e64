// Numbers on screen without a negative zero.
#include "shell/screen_number.h"

#include "base/picture.h"

namespace zentrel::gui {

QString withoutNegativeZero(QString text) {
    const qsizetype minus = text.indexOf(QLatin1Char('-'));
    if (minus < 0) return text;
    for (QChar c : text)
        if (c.isDigit() && c != QLatin1Char('0')) return text;
    text.remove(minus, 1);
    return text;
}

QString screenNumber(float value, const char* pattern) {
    return withoutNegativeZero(QString::fromStdString(formatPicture(value, pattern)));
}

}  // namespace zentrel::gui
