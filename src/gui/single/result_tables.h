// Cell texts of the single-location window's tables, built from the stored results without
// any widget: estimates, neighbouring stations, observed data and warnings of a group.
#pragma once

#include <vector>

#include <QStringList>

#include "formats/text_output.h"

class QTableWidget;

namespace zentrel::gui::single {

/// A grid as laid out on screen: row 0 holds the column titles, column 0 the row titles.
struct GridText {
    std::vector<QStringList> rows;
    /// Cells (row, column of `rows`) that show an extrapolation: filled in a warning colour
    /// with a tool tip saying why.
    std::vector<std::pair<int, int>> extrapolated;
    QString cell(int row, int column) const;
    int rowCount() const { return static_cast<int>(rows.size()); }
};

/// Neighbours 1..20 switched on, as the window counts them after a run.
int activeCount(const NeighbourSet& neighbours);

/// Estimates table of a group: per variable a title row with the block name and the unit
/// texts, January..December, "Mean" and a blank row. Low and High are Best -/+ 1.645 StdErr.
/// Error columns stay empty below 6 active neighbours or on a hit, gradient columns below 6.
GridText estimatesGrid(int group, const VariableResults& results);
/// Station table of a group: per variable a title row, neighbours 1..20, "Mean", a blank row.
GridText stationGrid(int group, const VariableResults& results);
/// Observation table of a group: monthly values, the annual value and the weight.
GridText observationGrid(int group, const VariableResults& results);
/// Warning table of a group: "X" where a flag is set.
GridText warningGrid(int group, const VariableResults& results);

/// Puts a grid into a table widget (row 0 as the column header, column 0 as the row header).
void fillTable(QTableWidget& table, const GridText& grid);

}  // namespace zentrel::gui::single
