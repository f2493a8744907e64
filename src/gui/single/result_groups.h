// The three groups of the single-location window: their variables, block and row names,
// legend texts and curve colours.
#pragma once

#include <array>
#include <vector>

#include <QColor>
#include <QString>

#include "base/types.h"

namespace zentrel::gui::single {

/// Group index 0 temperatures, 1 precipitation and PET, 2 sunshine, wind and vapour pressure.
inline constexpr int kGroupCount = 3;

/// One variable of a group.
struct GroupVariable {
    int variable;        ///< Temp..Sun
    QString blockName;   ///< title row of its block in the estimates and station tables ("T_Mean", ...)
    int colour;          ///< console colour number 0..15 of its curve and legend line
};

/// The variables of a group in the order of the tables' blocks.
const std::vector<GroupVariable>& groupVariables(int group);

/// Variables of the warning table's rows, in its order ("T_min", "T_mean", "T_max", ...).
const std::vector<std::pair<int, QString>>& warningRows(int group);

/// One entry of the legend frame: text and console colour (-1: no line).
struct LegendEntry {
    QString text;
    int colour;
};
/// The three legend labels of a group.
std::array<LegendEntry, 3> legendEntries(int group);

/// One of the 16 standard console colours (0 black ... 15 bright white).
QColor consoleColour(int number);

}  // namespace zentrel::gui::single
