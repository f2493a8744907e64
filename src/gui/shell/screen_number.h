// Numbers on screen: the file's picture patterns, without the sign of a value that rounds to
// zero ("-0.00" reads as an error on screen; the files keep their own form).
#pragma once

#include <QString>

namespace zentrel::gui {

/// formatPicture(value, pattern) without the "-" of a value that rounds to zero: -0.001 with
/// "###0.00" gives "0.00"; -0.02 keeps its sign.
QString screenNumber(float value, const char* pattern);

/// The same for a text already formatted.
QString withoutNegativeZero(QString text);

}  // namespace zentrel::gui
