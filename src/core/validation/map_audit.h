// The plausibility audit of a map: every land cell of a box estimated as `zentrel raster`
// estimates it, each month and the annual value compared with the world's records and with the
// envelope of the cell's own active neighbours. Hold-outs judge a method among its stations;
// this judges it where most of a map lies, away from them.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "base/records.h"
#include "data/station_database.h"
#include "feedback.h"
#include "maps/climate_surface.h"
#include "maps/img_file.h"
#include "settings/program_settings.h"

namespace zentrel {

class ElevationModel;

struct MapAuditOptions {
    SurfaceGrid grid;            ///< the cells, as surfaceGrid makes them for `zentrel raster`
    std::vector<int> variables;  ///< 0..7, audited in this order
    int threads = 1;             ///< worker threads, each with its own engine
    int worst = 10;              ///< worst cells kept per variable
    /// The user's elevation model for the cells' altitudes (their mean over each cell), null:
    /// the elevation raster's.
    std::shared_ptr<const ElevationModel> dem;
};

/// An active neighbour of a listed cell with its value in the listed period.
struct AuditNeighbour {
    std::string name;
    float lon = 0, lat = 0, alt = 0;  ///< degrees, m (9999 = not given)
    float value = 0;
};

/// One cell beyond its neighbours' envelope, at its worst period.
struct AuditCell {
    double lon = 0, lat = 0;  ///< the cell's centre
    float alt = 0;            ///< m, from the elevation raster
    int period = 1;           ///< 1..12, 13 = annual value
    float value = 0;          ///< the estimate as outputs write it (ClipValue applied)
    ValueRange envelope;      ///< the neighbours' envelope in that period
    bool beyondRecords = false;
    /// How far the value lies outside the envelope: in the variable's unit for temperatures
    /// and sunshine, as the natural logarithm of the ratio for the positive variables.
    double excess = 0;
    std::vector<AuditNeighbour> neighbours;
};

struct VariableAudit {
    int variable = 0;
    long long cells = 0;       ///< land cells estimated
    long long noEstimate = 0;  ///< land cells without an active neighbour
    /// The lowest and highest value over the months 1..12 (index 0) and of the annual value
    /// (index 1); NaN when no cell was estimated.
    std::array<ValueRange, 2> range{};
    long long recordCells = 0;      ///< cells with some period beyond the world's records
    long long recordPeriods = 0;    ///< cell-periods beyond the world's records
    long long envelopeCells = 0;    ///< cells with some period beyond their neighbour envelope
    long long envelopePeriods = 0;  ///< cell-periods beyond their neighbour envelope
    /// Cells where the kriging covariates fell back: the neighbours could not carry a term the
    /// cell needed (CapCovariateFallback in some month).
    long long fallbackCells = 0;
    std::vector<AuditCell> worst;   ///< the cells farthest beyond their envelope, worst first
};

/// One place whose variables are no climate of the Earth, at its worst month.
struct InconsistentCell {
    double lon = 0, lat = 0;  ///< the cell's centre
    int month = 1;
    float temp = 0, tmax = 0, tmin = 0, vap = 0;  ///< NaN where not audited
};

/// Whether each cell's variables form one climate: the mean daily minimum not above the mean,
/// the mean not above the mean daily maximum (no station-month of the default data breaks
/// either), and the vapour pressure not above saturation at the mean daily maximum (one
/// station-month in 21,192 does). Checked where the variables were audited together.
struct ConsistencyAudit {
    bool temperatures = false;  ///< Temp, Tmax and Tmin were audited
    bool vapour = false;        ///< Vap and Tmax were audited
    bool tooLarge = false;      ///< the grid is too large to hold the months of each variable
    long long orderCells = 0, orderMonths = 0;            ///< Tmin above Temp or Temp above Tmax
    long long saturationCells = 0, saturationMonths = 0;  ///< Vap above saturation at Tmax
    std::vector<InconsistentCell> examples;  ///< the worst cells, worst first
};

struct MapAudit {
    SurfaceGrid grid;
    Method method = Method::Described;
    std::vector<VariableAudit> variables;
    ConsistencyAudit consistency;
    bool cancelled = false;  ///< the report holds the variables finished before the cancel
};

/// Audits every land cell of the grid (the mask's non-sea cells, as the raster command) for
/// each variable. Results do not depend on the number of threads. Progress counts cells over
/// all variables; the cancel request is polled before every cell. Throws Error for unusable
/// station or terrain files.
MapAudit auditMap(std::shared_ptr<const StationDatabase> database, const std::string& dataFolder,
                  const ProgramSettings& settings, const ImgRaster& mask, const MapAuditOptions& options,
                  Feedback* feedback = nullptr);

/// The audit as text tables: a summary line per variable, then each variable's worst cells
/// with their neighbours.
std::string formatMapAuditText(const MapAudit& audit);

/// The audit as one JSON document; values that are not numbers are null.
std::string formatMapAuditJson(const MapAudit& audit);

}  // namespace zentrel
