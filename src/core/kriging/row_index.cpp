// Rows in latitude bands sorted by longitude; a place's candidates are the rows in the bounding
// box of a spherical cap around it, the cap grown until it holds enough rows.
#include "kriging/row_index.h"

#include <algorithm>
#include <cmath>

#include "kriging/kriging.h"

namespace zentrel {

namespace {
constexpr double kDeg = 3.14159265358979323846 / 180.0;
constexpr double kMargin = 1e-6;  // rad: more than the rounding of any stored position or cosine
int bandOf(double lat, double band, int count) {
    return std::clamp(static_cast<int>(std::floor((lat + 90.0) / band)), 0, count - 1);
}
}  // namespace

RowIndex::RowIndex(const std::vector<KrigingRow>& rows) {
    bands_.resize(static_cast<size_t>(180.0 / kBand));
    const int count = static_cast<int>(bands_.size());
    for (size_t j = 0; j < rows.size(); ++j)
        bands_[static_cast<size_t>(bandOf(rows[j].lat, kBand, count))].push_back(
            {{rows[j].unit[0], rows[j].unit[1], rows[j].unit[2]}, rows[j].lon, static_cast<int>(j)});
    for (auto& band : bands_)
        std::sort(band.begin(), band.end(), [](const Entry& a, const Entry& b) { return a.lon < b.lon || (a.lon == b.lon && a.row < b.row); });
}

void RowIndex::candidates(const std::vector<KrigingRow>& rows, const SpherePoint& at, size_t count,
                          std::vector<std::pair<double, int>>& near) const {
    const auto cosineTo = [&](const double* u) { return at.unit[0] * u[0] + at.unit[1] * u[1] + at.unit[2] * u[2]; };
    const auto all = [&] {
        near.clear();
        for (size_t j = 0; j < rows.size(); ++j) near.emplace_back(-cosineTo(rows[j].unit), static_cast<int>(j));
    };
    if (rows.size() <= count || bands_.empty()) {
        all();
        return;
    }
    const double lat0 = std::asin(std::clamp(at.unit[2], -1.0, 1.0)) / kDeg;
    const double lon0 = std::atan2(at.unit[1], at.unit[0]) / kDeg;
    const int bandCount = static_cast<int>(bands_.size());
    // Guess the cap from the share of rows wanted: a disc of the Earth holding that share (the
    // rows crowd on land, so start from half its radius and grow it in steps of 1.4).
    double theta = std::max(0.02, 0.5 * std::acos(std::clamp(1.0 - 2.0 * static_cast<double>(count) / rows.size(), -1.0, 1.0)));
    while (theta < 3.14159) {
        const double reach = theta + kMargin;
        const double poleward = std::fabs(lat0) * kDeg + reach;
        // The cap's longitudes: within asin(sin theta / cos lat0) of the place unless it holds a pole.
        const double halfWidth = poleward >= 3.14159265358979323846 / 2 ? 180.0
                                                                       : std::asin(std::min(1.0, std::sin(reach) / std::cos(lat0 * kDeg))) / kDeg;
        const int first = bandOf(lat0 - reach / kDeg, kBand, bandCount), last = bandOf(lat0 + reach / kDeg, kBand, bandCount);
        const double cosTheta = std::cos(theta);
        near.clear();
        const auto take = [&](const std::vector<Entry>& band, double from, double to) {
            auto it = std::lower_bound(band.begin(), band.end(), from, [](const Entry& e, double v) { return e.lon < v; });
            for (; it != band.end() && it->lon <= to; ++it) {
                // Only the rows within the cap: when it holds `count` of them, the nearest
                // `count` rows (and any tied with the last) are all among them.
                const double c = cosineTo(it->unit);
                if (c >= cosTheta) near.emplace_back(-c, it->row);
            }
        };
        for (int b = first; b <= last; ++b) {
            const std::vector<Entry>& band = bands_[static_cast<size_t>(b)];
            if (halfWidth >= 180.0) {
                take(band, -1000.0, 1000.0);
            } else {
                const double from = lon0 - halfWidth, to = lon0 + halfWidth;
                take(band, std::max(from, -180.0), std::min(to, 180.0));
                if (from < -180.0) take(band, from + 360.0, 180.0);
                if (to > 180.0) take(band, -180.0, to - 360.0);
            }
        }
        if (near.size() >= count) return;
        theta *= 1.4;
    }
    all();
}

}  // namespace zentrel
