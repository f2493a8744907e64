// The leave-one-out rows of a kriging model by position: the candidates for the nearest rows of
// a place without a scan of them all.
#pragma once

#include <utility>
#include <vector>

#include "base/geometry.h"

namespace zentrel {

struct KrigingRow;

class RowIndex {
public:
    RowIndex() = default;
    explicit RowIndex(const std::vector<KrigingRow>& rows);

    /// Fills `near` with (minus the cosine of the angle, row) for the rows within a cap around
    /// `at` that holds at least `count` rows, in an order that depends only on the rows and the
    /// place: the `count` nearest rows (the smallest pairs) are among them, and so is any row tied
    /// with the last of them. With fewer rows than `count`, all of them.
    void candidates(const std::vector<KrigingRow>& rows, const SpherePoint& at, size_t count,
                    std::vector<std::pair<double, int>>& near) const;

private:
    // Rows in bands of kBand degrees of latitude, each by longitude.
    static constexpr double kBand = 2.0;
    // The row's unit vector is kept beside its longitude, so that the cosines of a place's
    // candidates are taken from one run of memory rather than from rows scattered over the model.
    struct Entry {
        double unit[3];
        float lon;
        int row;
    };
    std::vector<std::vector<Entry>> bands_;
};

}  // namespace zentrel
