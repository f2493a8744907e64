// Records shared by the engine and everything that reads its results: locations,
// stations, the neighbour set, the result record and the warning flags.
#pragma once

#include <array>
#include <memory>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace zentrel {

/// Altitude or direction value meaning "not given".
inline constexpr float kUnknown = 9999.0f;

/// Variable index 0..7, always in this order.
enum Variable : int16_t { Temp = 0, Tmax = 1, Tmin = 2, Prec = 3, Vap = 4, PET = 5, Wind = 6, Sun = 7 };
inline constexpr int kVariableCount = 8;
/// Short names "Temp", "Tmax", ... indexed by variable.
extern const std::array<const char*, kVariableCount> kVariableNames;
/// Variable index of a short name (case-insensitive), or -1.
int variableFromName(const std::string& name);
/// The physical-range clamp applied before a value is shown or written: a negative value of
/// a variable other than the three temperatures becomes 0, a sunshine fraction above 1 is 1.
float ClipValue(float v, int variable);
/// "Jan", "Feb", ... "Dec": the months as tables and graph axes abbreviate them.
inline constexpr std::array<const char*, 12> kMonthAbbreviations{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

/// A target point. Lon, Lat in decimal degrees (east, north positive); Alt in m (9999 = none).
struct Location {
    std::string Name;
    float Lon = 0;
    float Lat = 0;
    float Alt = 0;
};

/// Monthly array: index 1..12 = January..December, 13 = annual value; index 0 unused.
using Monthly = std::array<float, 14>;

/// One station: a candidate of the station table or an entry of the neighbour set.
struct Station {
    float Lat = 0;          ///< degrees north
    float Lon = 0;          ///< degrees east
    float Alt = 0;          ///< m; 9999 = unknown
    Monthly Data{};         ///< 1..12 monthly values, 13 = annual mean (filled by BuildMeanStation)
    float Dist = 0;         ///< km from the working location
    float Dir = 0;          ///< degrees clockwise from north seen from the working location, or 9999
    std::string Name;
    std::string Country;
    int16_t Active = 0;     ///< 1 = takes part in the estimate
    std::string DirCode = "  ";  ///< 2-character compass sector of Dir
    float Weight = 0;       ///< interpolation weight
};

/// Where a station's normals come from, kept beside the station files (which do not carry it):
/// the source's name ("WMO", "DWD" ...), the station's own observation period ("1991-2020"),
/// the fewest and most valid years behind its twelve normals and a short note. Empty texts and
/// 0 years mean not known.
struct StationOrigin {
    std::string id;
    std::string source;
    std::string period;
    int yearsMin = 0;
    int yearsMax = 0;
    std::string note;
};

/// The most neighbours an estimate takes (MaxStat's upper limit).
inline constexpr int kMaxNeighbours = 20;

/// The up to 20 neighbours, nearest first. Entry(1..20) are neighbours, Entry(21) the mean station.
struct NeighbourSet {
    std::array<Station, 22> entries{};  ///< index 0 unused
    int16_t NeighbourCount = 0;
    int16_t ActiveCount = 0;
    int16_t ActiveAltCount = 0;

    Station& operator[](int i) { return entries[static_cast<size_t>(i)]; }
    const Station& operator[](int i) const { return entries[static_cast<size_t>(i)]; }
};

/// Results of one variable. Every array: 1..12 months, 13 annual, 0 unused.
struct EstimateResult {
    Monthly Best{};
    Monthly Bias{};
    Monthly StdErr{};
    Monthly AbsGrad{};
    Monthly DirecGrad{};
    std::array<std::string, 14> DirecGradName{};
    Monthly VertGrad{};
    Monthly LongGradDeg{};
    Monthly LatGradDeg{};
    Monthly LongGrad{};
    Monthly LatGrad{};
    Monthly VertExplVar{};
    /// 1..6 sine coefficients a1..a6, 7..12 cosine coefficients b1..b6, 13 mean.
    Monthly AnnualCycle{};
    /// True when Bias and StdErr were estimated (cross-validation ran); false leaves them, and
    /// the bounds made from them, without a value.
    bool HasStdErr = false;
    /// Standard error on the logarithmic scale ln(value + LogOffset) of an estimate made in
    /// ratio space (positive variables); 0 where the bounds are Best -/+ k StdErr.
    Monthly StdErrLog{};
    float LogOffset = 0;
    /// Standard error of the year's total of the months (the sum of twelve monthly values: mm
    /// for Prec and PET), from the neighbours' leave-one-out errors of their own annual totals:
    /// months that err together add up, months that err apart partly cancel. NaN where no error
    /// was estimated. StdErr(13) stays the mean of the months' errors.
    float AnnualTotalStdErr = std::numeric_limits<float>::quiet_NaN();
    /// Per month, the limits that acted on the estimate (bits of CapKind); 0 = none.
    std::array<uint8_t, 14> Caps{};
};

/// Limits the robust and adaptive methods put on an estimate that extrapolates.
enum CapKind : uint8_t {
    CapSlope = 1,     ///< the altitude factor or slope term was limited
    CapPlane = 2,     ///< the horizontal plane was limited to the neighbours' own span
    CapEnvelope = 4,  ///< the value was brought into its neighbours' envelope
    CapRecord = 8,    ///< the value was brought within the world's records
    CapTemperatureOrder = 16,  ///< Tmax and Tmin were moved to keep Tmin <= Temp <= Tmax
    CapSaturation = 32,        ///< vapour pressure brought down to saturation at Tmax
    CapCovariateFallback = 64,  ///< kriging: a covariate the network cannot carry left out, the rest kept within the neighbours' spread
};

/// Every limit, in the order the outputs name them.
inline constexpr std::array<uint8_t, 7> kCapKinds{CapSlope,           CapPlane,      CapEnvelope,         CapRecord,
                                                  CapTemperatureOrder, CapSaturation, CapCovariateFallback};

/// "altitude slope", "plane", "neighbour envelope", "world records", "temperature order",
/// "saturation", "covariate fallback" for the set bits, joined by ", ".
std::string capNames(uint8_t caps);

/// Low and High of month m (1..13) at confidence factor k: Best -/+ k StdErr, or for an
/// estimate made in ratio space the bounds of ln(Best + LogOffset) -/+ k StdErrLog taken back
/// (never below 0). NaN when no error was estimated.
float lowBound(const EstimateResult& r, int m, float k);
float highBound(const EstimateResult& r, int m, float k);

/// Warning flags of the last estimate.
struct WarningFlags {
    bool WarnHigh = false;
    bool WarnLow = false;
    bool WarnLonely = false;
    bool WarnStrange = false;
    bool WarnDoubled = false;
    bool WarnFew = false;
    bool WarnHit = false;
    int16_t StrangeMonth = 0;    ///< 1..12, kept from earlier runs when nothing strange is found
    int16_t StrangeStation = 0;  ///< neighbour entry number
    bool WarnRecord = false;     ///< a value lies beyond the world's records for its variable
    int16_t RecordMonth = 0;     ///< 1..13, the first such month
};

/// A message the engine hands to its caller for display (the core never shows anything).
struct Message {
    std::string title;
    std::string text;
};

/// Everything a window, writer or batch run keeps of one variable's estimate.
struct VariableResult {
    int16_t variable = Temp;
    Location location;           ///< the working location the estimate ran on
    NeighbourSet neighbours;
    EstimateResult result;
    WarningFlags warnings;
    std::vector<Message> messages;
    /// The origin of each neighbour, by neighbour index 1..20 (0 and 21 unused); null where the
    /// data folder keeps no station table or the table does not list the station.
    std::array<std::shared_ptr<const StationOrigin>, 22> origins{};
};

/// False when the engine made no annual values (index 13) for the result: with a single active
/// station it takes that station's months as they are and leaves the annual values at 0, which
/// outputs with room for it show as missing rather than as a result.
inline bool hasAnnualValues(const VariableResult& r) { return r.neighbours.ActiveCount != 1; }

/// Confidence factor k of Low/High = Best -/+ k * StdErr for level 90, 95 or 99 (%).
float confidenceFactor(int level);

}  // namespace zentrel
