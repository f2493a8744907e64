// Table texts of the single-location window.
#include "single/result_tables.h"

#include <functional>

#include <QHeaderView>
#include <QTableWidget>

#include "base/picture.h"
#include "shell/screen_number.h"
#include "formats/estimate_reach.h"
#include "single/result_groups.h"

namespace zentrel::gui::single {

namespace {

const char* const kMonthRows[12] = {"January", "February", "March",     "April",   "May",      "June",
                                    "July",    "August",   "September", "October", "November", "December"};

QString pic(float value, const char* pattern) { return screenNumber(value, pattern); }

/// Unit texts of a variable: value columns, vertical gradient, horizontal gradients.
struct Units {
    QString value, vertical, horizontal;
};

Units unitsOf(int variable) {
    switch (variable) {
        case Temp: case Tmax: case Tmin:
            return {QStringLiteral("[°C]"), QStringLiteral("[°C/100m]"), QStringLiteral("[°C/100km]")};
        case Prec: case PET:
            return {QStringLiteral("[mm]"), QStringLiteral("[mm/100m]"), QStringLiteral("[mm/100km]")};
        case Wind:
            return {QStringLiteral("[km/h]"), QStringLiteral("[km/h/100m]"), QStringLiteral("[km/h/100km]")};
        case Vap:
            return {QStringLiteral("[hPa]"), QStringLiteral("[hPa/100m]"), QStringLiteral("[hPa/100km]")};
        default:
            return {QStringLiteral(" "), QStringLiteral("[1/100m]"), QStringLiteral("[1/100km]")};
    }
}

QStringList emptyRow(int columns) {
    QStringList row;
    for (int c = 0; c < columns; ++c) row << QString();
    return row;
}


// One variable's block of neighbour rows: its title row, rows 1..20 (empty past the neighbours
// found), the "Mean" row of entry 21 and a blank row. `fill` writes a row's cells.
void appendNeighbourBlock(GridText& grid, const QString& blockName, const NeighbourSet& n, int columns,
                          const std::function<void(QStringList&, const Station&, bool mean)>& fill) {
    QStringList title = emptyRow(columns);
    title[0] = blockName;
    grid.rows.push_back(title);
    for (int i = 1; i <= 20; ++i) {
        QStringList row = emptyRow(columns);
        row[0] = QString::number(i);
        if (i <= n.NeighbourCount) fill(row, n[i], false);
        grid.rows.push_back(row);
    }
    QStringList mean = emptyRow(columns);
    mean[0] = QStringLiteral("Mean");
    if (n.NeighbourCount > 0) fill(mean, n[21], true);
    grid.rows.push_back(mean);
    grid.rows.push_back(emptyRow(columns));
}
}  // namespace

QString GridText::cell(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= rows[static_cast<size_t>(row)].size()) return {};
    return rows[static_cast<size_t>(row)][column];
}

int activeCount(const NeighbourSet& neighbours) {
    int count = 0;
    for (int i = 1; i <= 20; ++i)
        if (neighbours[i].Active == 1) ++count;
    return count;
}

GridText estimatesGrid(int group, const VariableResults& results) {
    GridText grid;
    grid.rows.push_back({QString(), QStringLiteral("Best Estimate"), QStringLiteral("Low Estimate"),
                         QStringLiteral("High Estimate"), QStringLiteral("Standard Error"), QStringLiteral("  Bias  "),
                         QStringLiteral("Vertical Gradient"), QStringLiteral("Longitudinal Gradient"),
                         QStringLiteral("Latitudinal Gradient "), QStringLiteral("Gradient Direction "),
                         QStringLiteral("Gradient Direction "), QStringLiteral(" Absolute Gradient"),
                         QStringLiteral("Expl. Var of Alt. Corr.")});
    const int columns = 13;
    for (const GroupVariable& gv : groupVariables(group)) {
        const VariableResult& vr = results[static_cast<size_t>(gv.variable)];
        const EstimateResult& r = vr.result;
        const Units u = unitsOf(gv.variable);
        QStringList title = emptyRow(columns);
        title[0] = gv.blockName;
        for (int c : {1, 2, 3, 4, 5}) title[c] = u.value;
        title[6] = u.vertical;
        for (int c : {7, 8, 11}) title[c] = u.horizontal;
        title[9] = QStringLiteral("Degrees");
        grid.rows.push_back(title);

        const int active = activeCount(vr.neighbours);
        const bool errors = active >= 6 && !vr.warnings.WarnHit;
        const bool gradients = active >= 6;
        // Without a single neighbour (a variable the database lacks) there is no estimate, and
        // a column of zeros would read as one: the month rows stay empty.
        const bool estimated = vr.neighbours.NeighbourCount > 0;
        const EstimateReach reach = estimateReach(vr);
        for (size_t m = 1; m <= 13; ++m) {
            QStringList row = emptyRow(columns);
            row[0] = m <= 12 ? QLatin1String(kMonthRows[m - 1]) : QStringLiteral("Mean");
            if (!estimated) {
                grid.rows.push_back(row);
                continue;
            }
            row[1] = pic(r.Best[m], "###0.00");
            if (reach.extrapolated[m]) grid.extrapolated.emplace_back(grid.rowCount(), 1);
            if (errors && r.HasStdErr) {
                // The engine's bounds: in ratio space for totals, never below 0.
                row[2] = pic(lowBound(r, static_cast<int>(m), 1.645f), "###0.00");
                row[3] = pic(highBound(r, static_cast<int>(m), 1.645f), "###0.00");
                row[4] = pic(r.StdErr[m], "###0.00");
                row[5] = pic(r.Bias[m], "##0.00");
            }
            row[6] = pic(r.VertGrad[m] * 100, "##0.00");
            if (gradients) {
                row[7] = pic(r.LongGrad[m], "##0.00");
                row[8] = pic(r.LatGrad[m], "##0.00");
                row[9] = pic(r.DirecGrad[m], "##0.00");
                row[10] = QString::fromStdString(r.DirecGradName[m]);
                row[11] = pic(r.AbsGrad[m], "##0.00");
            }
            row[12] = pic(r.VertExplVar[m], "##0.00");
            grid.rows.push_back(row);
        }
        grid.rows.push_back(emptyRow(columns));
    }
    return grid;
}

GridText stationGrid(int group, const VariableResults& results) {
    GridText grid;
    grid.rows.push_back({QString(), QStringLiteral("Longitude [°]"), QStringLiteral("Latitude [°]"),
                         QStringLiteral("Altitude [m]"), QStringLiteral("Distance [km]"), QStringLiteral("Direction"),
                         QStringLiteral("Direction"), QStringLiteral("Station Name        "),
                         QStringLiteral("Country Name         ")});
    const int columns = 9;
    for (const GroupVariable& gv : groupVariables(group)) {
        appendNeighbourBlock(grid, gv.blockName, results[static_cast<size_t>(gv.variable)].neighbours, columns,
                             [](QStringList& row, const Station& s, bool mean) {
                                 row[1] = pic(s.Lon, "###0.00");
                                 row[2] = pic(s.Lat, "##0.00");
                                 row[3] = pic(s.Alt, "###0");
                                 row[4] = pic(s.Dist, "####.0");
                                 if (s.Dir != kUnknown) {
                                     row[5] = pic(s.Dir, "##0");
                                     row[6] = QString::fromStdString(s.DirCode);
                                 }
                                 if (mean) return;
                                 row[7] = QString::fromStdString(s.Name);
                                 row[8] = QString::fromStdString(s.Country);
                             });
    }
    return grid;
}

GridText observationGrid(int group, const VariableResults& results) {
    GridText grid;
    const QString layout = QStringLiteral("^| January | February |  March  |  April  |   May   |  June   |  July   "
                                          "| August | September | October | November | December | Annual | Weight");
    QStringList titles = layout.split(QLatin1Char('|'));
    titles[0] = QString();
    grid.rows.push_back(titles);
    const int columns = static_cast<int>(titles.size());
    for (const GroupVariable& gv : groupVariables(group)) {
        appendNeighbourBlock(grid, gv.blockName, results[static_cast<size_t>(gv.variable)].neighbours, columns,
                             [](QStringList& row, const Station& s, bool mean) {
                                 for (size_t m = 1; m <= 13; ++m) row[static_cast<int>(m)] = pic(s.Data[m], "###0.00");
                                 if (!mean) row[14] = pic(s.Weight, "0.0000");
                             });
    }
    return grid;
}

GridText warningGrid(int group, const VariableResults& results) {
    GridText grid;
    grid.rows.push_back({QStringLiteral("Warnings"), QStringLiteral("High"), QStringLiteral("Low"),
                         QStringLiteral("Lonely"), QStringLiteral("Doubled"), QStringLiteral("Strange"),
                         QStringLiteral("Few"), QStringLiteral("Hit")});
    for (const auto& [variable, name] : warningRows(group)) {
        const WarningFlags& w = results[static_cast<size_t>(variable)].warnings;
        QStringList row{name};
        for (bool flag : {w.WarnHigh, w.WarnLow, w.WarnLonely, w.WarnDoubled, w.WarnStrange, w.WarnFew, w.WarnHit})
            row << (flag ? QStringLiteral("X") : QString());
        grid.rows.push_back(row);
    }
    return grid;
}

void fillTable(QTableWidget& table, const GridText& grid) {
    table.clear();
    if (grid.rows.empty()) return;
    // Column 0 stays a column of its own (the fixed column of the grid), so the corner title
    // shows as its header.
    const QStringList& titles = grid.rows.front();
    table.setColumnCount(static_cast<int>(titles.size()));
    table.setRowCount(grid.rowCount() - 1);
    table.setHorizontalHeaderLabels(titles);
    table.horizontalHeaderItem(0)->setTextAlignment(Qt::AlignCenter);
    table.verticalHeader()->hide();
    const QBrush fixed = table.palette().button();
    for (int r = 1; r < grid.rowCount(); ++r)
        for (int c = 0; c < titles.size(); ++c) {
            const QString text = grid.cell(r, c);
            if (text.isEmpty() && c > 0) continue;
            auto* item = new QTableWidgetItem(text);
            bool numeric = false;
            text.toDouble(&numeric);
            item->setTextAlignment((numeric || c == 0 ? (c == 0 ? Qt::AlignLeft : Qt::AlignRight) : Qt::AlignHCenter) |
                                   Qt::AlignVCenter);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            if (c == 0) item->setBackground(fixed);
            table.setItem(r - 1, c, item);
        }
    for (const auto& [r, c] : grid.extrapolated) {
        QTableWidgetItem* item = r >= 1 ? table.item(r - 1, c) : nullptr;
        if (!item) continue;
        item->setBackground(QColor(255, 205, 195));
        item->setText(item->text() + QStringLiteral(" !"));
        item->setToolTip(QStringLiteral("Outside all neighbours' values this month: an extrapolation"));
    }
    table.resizeColumnsToContents();
}

}  // namespace zentrel::gui::single
