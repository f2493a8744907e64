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

    /// Fills `near` with (minus the cosine of the angle, row) for rows around `at`, in an order
    /// that depends only on the rows and the place, so that the `count` nearest rows (the
    /// smallest pairs) are among them: every row within an angle that holds at least `count`
    /// rows is there. With fewer rows than `count`, all of them.
    void candidates(const std::vector<KrigingRow>& rows, const SpherePoint& at, size_t count,
                    std::vector<std::pair<double, int>>& near) const;

private:
    // Rows in bands of kBand degrees of latitude, each by longitude.
    static constexpr double kBand = 2.0;
    struct Entry {
        float lon;
        int row;
    };
    std::vector<std::vector<Entry>> bands_;
};

}  // namespace zentrel
