// Neighbour selection: the candidates from the station files or the database, the nearest
// MaxStat within the criteria ranked by distance and table order, and their activation.
#include "neighbours/neighbour_search.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

#include "data/station_file.h"
#include "error.h"

namespace zentrel {

namespace {
size_t ix(int i) { return static_cast<size_t>(i); }
}  // namespace

NeighbourSearch::NeighbourSearch(const ProgramSettings& settings, std::string dataFolder,
                                 std::shared_ptr<const StationDatabase> database)
    : settings_(settings), dataFolder_(std::move(dataFolder)), database_(std::move(database)) {
    working = settings.Working;
    points_.fill(spherePoint(0, 0));
}

NeighbourSearch::~NeighbourSearch() = default;

void NeighbourSearch::Select(int var, const Location& location) {
    variable = static_cast<int16_t>(var);
    working = location;
    messages.clear();
    LoadCandidates();
    SelectNeighbours();
}

void NeighbourSearch::LoadCandidates() {
    // With a station database the candidates stay in memory and SelectNeighbours asks it for
    // those near the location; the table is then left empty.
    if (database_ && spatialSearch_) table.stations.clear();
    else if (database_) database_->LoadCandidates(variable, working.Lon, working.Lat, table, exclusion());
    else {
        zentrel::LoadCandidates(dataFolder_, variable, working.Lon, working.Lat, table);
        if (const StationExclusion* ex = exclusion()) std::erase_if(table.stations, [ex](const Station& s) { return ex->contains(s); });
    }
}

namespace {
// The insertion of one candidate into the work lists of the selection: skipped unless strictly
// nearer than the last place; among equal distances the one read first stays first.
inline void insertCandidate(std::array<float, kPoolPlaces + 1>& d, std::array<int, kPoolPlaces + 1>& s, int maxStat, float dist,
                            int k) {
    if (dist >= d[ix(maxStat)]) return;
    int p = 1;
    while (!(dist < d[ix(p)])) ++p;
    if (p >= maxStat) {
        d[ix(maxStat)] = dist;
        s[ix(maxStat)] = k;
        return;
    }
    for (int q = maxStat; q > p; --q) {
        d[ix(q)] = d[ix(q - 1)];
        s[ix(q)] = s[ix(q - 1)];
    }
    d[ix(p)] = dist;
    s[ix(p)] = k;
}
// Copies of one station: the same position and the same twelve values (bit for bit, so that
// two missing months match).
bool sameStation(const Station& a, const Station& b) {
    return a.Lon == b.Lon && a.Lat == b.Lat && std::memcmp(&a.Data[1], &b.Data[1], 12 * sizeof(float)) == 0;
}

// The lowest cosine at which every regular cosine at or above it gives a distance within
// `radius` (arcDistance never grows with the cosine).
float cosineWithin(double radius, float distEpsilon) {
    float x = static_cast<float>(std::cos(radius / kEarthRadiusKm));
    while (x <= 1.0f && !(arcDistance(x, distEpsilon) <= radius)) x = std::nextafter(x, 2.0f);
    return x;
}
}  // namespace

// Selection from the station database: only the candidates near the location are looked at.
// The nearest `places` of them are the nearest of all once that many candidates lie within the
// radius searched, since every candidate within that radius is among them; otherwise the radius
// grows. The places are ranked by distance, then by place in the station table, which is what
// reading the table in order and inserting each candidate after its equals gives.
void NeighbourSearch::selectNear(int places) {
    const float eps = settings_.DistEpsilon;
    const SpherePoint at = spherePoint(working.Lon, working.Lat);
    const StationDatabase::SourcesKey key = StationDatabase::sourcesKey(variable, working.Lon, working.Lat);
    const uint64_t generation = database_->generation();
    KeptSources unkept;  // a variable number without files of its own is looked up (and refused) each time
    KeptSources& kept = variable >= 0 && variable < kVariableCount ? sources_[static_cast<size_t>(variable)] : unkept;
    if (!kept.sources || kept.key != key || kept.generation != generation) {
        kept.sources = nullptr;  // a failed lookup leaves nothing stale behind
        kept.sources = database_->sources(variable, working.Lon, working.Lat);
        kept.key = key;
        kept.generation = generation;
    }
    struct Place {
        float dist = 20000.0f;  // a candidate at 20000 km or more is never taken
        int order = std::numeric_limits<int>::max();
        float cosine = -2.0f;  // of the distance; 2 for a distance of 0 from an irregular cosine
        int k = -1;             // in near_
    };
    std::array<Place, kPoolPlaces + 1> place;
    // The methods other than the described one take copies of one station as one candidate: 25
    // copies at one position would otherwise fill every neighbour place with a single station.
    const bool collapse = collapsesCopies();
    // Rough cosines inside this band are surely regular (1 - x^2 >= DistEpsilon).
    const double epsilon = eps < 1 ? std::max(0.0, static_cast<double>(eps)) : 1.0;  // NaN: all irregular
    const double regularBand = std::sqrt(1.0 - epsilon) - 1e-5;
    // The distance formula gives 0 at the antipode as at the location itself. The described method
    // keeps that (a station on the far side of the Earth may become the nearest neighbour); the
    // others take the antipode as what it is, the farthest place.
    const bool antipodeIsNear = method() == Method::Described;
    // Irregular cosines give distance 0, also far away: stations within this angle of the
    // location or of its antipode (with some kilometres for the rounding of the cosine) must
    // be among the candidates whatever the radius.
    const double zeroKm = kEarthRadiusKm * std::asin(std::sqrt(epsilon)) + 5.0;
    double radius = searchRadius_;
    while (true) {
        bool covered = false;
        database_->nearCandidates(*kept.sources, at, std::max(radius, zeroKm), zeroKm, near_, covered, exclusion());
        place.fill(Place{});
        copies_.clear();
        const float withinCosine = cosineWithin(radius, eps);
        // The places-th highest rough cosine: that many candidates lie at least that near, so a
        // candidate whose cosine is lower by more than the rough error twice and the 1e-6 below
        // is farther than all of them and cannot be taken.
        double cutoff = -3;
        roughCosines_.clear();
        for (const StationDatabase::Candidate& cand : near_)
            if (std::fabs(cand.cosine) < regularBand && passesAltitude(*cand.station)) roughCosines_.push_back(cand.cosine);
        if (roughCosines_.size() >= static_cast<size_t>(places)) {
            auto nth = roughCosines_.begin() + (places - 1);
            std::nth_element(roughCosines_.begin(), nth, roughCosines_.end(), std::greater<double>());
            // Copies share their cosine: the cutoff counts each cosine once, so that copies do
            // not stand for candidates that are not there.
            if (collapse) std::sort(roughCosines_.begin(), nth + 1, std::greater<double>());
            if (collapse && std::adjacent_find(roughCosines_.begin(), nth + 1) != nth + 1) {
                std::sort(roughCosines_.begin(), roughCosines_.end(), std::greater<double>());
                roughCosines_.erase(std::unique(roughCosines_.begin(), roughCosines_.end()), roughCosines_.end());
                nth = roughCosines_.size() >= static_cast<size_t>(places) ? roughCosines_.begin() + (places - 1) : roughCosines_.end();
            }
            if (nth != roughCosines_.end()) cutoff = *nth - (1e-6 + 2 * kRoughCosineError);
        }
        int within = 0;
        for (size_t k = 0; k < near_.size(); ++k) {
            const StationDatabase::Candidate& cand = near_[k];
            if (!passesAltitude(*cand.station)) continue;
            // A lower cosine is a distance at least as far; one lower by 1e-6 or more is
            // farther by some metres, more than single precision can round away. Such
            // candidates cannot take the last place, and are passed without the arctangent;
            // most of them already by their rough cosine (cosines near -1 and 1 may give a
            // distance of 0 and are always looked at).
            const Place& last = place[ix(places)];
            const bool roughRegular = std::fabs(cand.cosine) < regularBand;  // false for NaN
            if (roughRegular) {
                if (cand.cosine >= withinCosine + kRoughCosineError) ++within;
                if (cand.cosine < cutoff || cand.cosine < last.cosine - (1e-6 + kRoughCosineError)) continue;
            }
            const float x = centralCosine(at, *cand.point);
            const bool regular = arcIsRegular(x, eps);
            if (!regular && x < 0 && !antipodeIsNear) continue;
            if (regular && !roughRegular && x >= withinCosine) ++within;
            if (regular && (x < last.cosine - 1e-6f || (x <= last.cosine && cand.order > last.order))) continue;
            const float dist = arcDistance(x, eps);
            if (dist > settings_.MaxDist) continue;
            const auto before = [&](const Place& q) { return dist < q.dist || (dist == q.dist && cand.order < q.order); };
            if (!(dist < 20000.0f) || !before(last)) continue;
            // The places run by distance (a copy taking over a place keeps its distance): the
            // first at or beyond this one's, found by halving.
            int from = 1;
            for (int span = places; span > 0;) {
                const int half = span / 2;
                if (place[ix(from + half)].dist < dist) {
                    from += half + 1;
                    span -= half + 1;
                } else {
                    span = half;
                }
            }
            if (collapse) {
                int copyOf = 0;
                // A copy stands where the station stands: at the same distance to the bit.
                for (int q = from; q <= places && place[ix(q)].k >= 0 && place[ix(q)].dist == dist && !copyOf; ++q)
                    if (sameStation(*near_[ix(place[ix(q)].k)].station, *cand.station)) copyOf = q;
                if (copyOf) {  // the copy first in the table stays, as the table's reading keeps it
                    Place& kept = place[ix(copyOf)];
                    if (cand.order < kept.order) {
                        copies_.push_back(kept.k);
                        kept.order = cand.order;
                        kept.k = static_cast<int>(k);
                    } else {
                        copies_.push_back(static_cast<int>(k));
                    }
                    continue;
                }
            }
            int p = from;
            while (!before(place[ix(p)])) ++p;
            std::copy_backward(place.begin() + p, place.begin() + places, place.begin() + places + 1);
            place[ix(p)] = {dist, cand.order, regular ? x : 2.0f, static_cast<int>(k)};
        }
        // Copies counted among the candidates within the radius may stand for stations that are
        // not there: then the places themselves must be filled from within it.
        const bool placesWithin = place[ix(places)].k >= 0 && place[ix(places)].cosine >= withinCosine + kRoughCosineError;
        if (covered || (within >= places && (copies_.empty() || placesWithin)) || settings_.MaxDist <= radius) break;
        radius *= 2.5;
    }
    // Start the next search where this one succeeded; it is only a guess, never a result.
    searchRadius_ = std::max(100.0, radius * 0.8);
    for (int p = 1; p <= places && place[ix(p)].k >= 0; ++p) {
        const StationDatabase::Candidate& cand = near_[ix(place[ix(p)].k)];
        picked_.push_back({cand.station, place[ix(p)].dist, cand.point});
    }
    for (const int k : copies_) copyStations_.push_back(near_[ix(k)].station);
}

// The selection ranks by the single-precision distance, which reads 0 within about 1.5 km:
// beside a station every other one nearby would weigh nothing. The methods other than the
// described one take the distances in double precision and the neighbours nearest first by them.
void NeighbourSearch::measurePrecisely() {
    const int n = ns.NeighbourCount;
    for (int i = 1; i <= n; ++i)
        ns[i].Dist = static_cast<float>(preciseDistance(working.Lon, working.Lat, ns[i].Lon, ns[i].Lat));
    // Nearest first, equals in their order: an insertion sort, which for 20 entries needs no
    // buffer (a stable sort takes one from the heap each time).
    for (int i = 2; i <= n; ++i) {
        if (!(ns[i].Dist < ns[i - 1].Dist)) continue;
        Station moving = std::move(ns[i]);
        int j = i;
        for (; j > 1 && moving.Dist < ns[j - 1].Dist; --j) ns[j] = std::move(ns[j - 1]);
        ns[j] = std::move(moving);
    }
}

bool NeighbourSearch::passesAltitude(const Station& c) const {
    return settings_.NeighbAlt != 1 || !(c.Alt == kUnknown || c.Alt > settings_.MaxHigh || c.Alt < settings_.MinHigh);
}

bool NeighbourSearch::passesFilters(const Station& c, float dist) const {
    return passesAltitude(c) && !(dist > settings_.MaxDist);
}

void NeighbourSearch::SelectNeighbours() {
    const int maxStat = settings_.MaxStat;
    if (maxStat < 1 || maxStat > kMaxNeighbours)
        throw Error("The maximum number of stations is " + std::to_string(maxStat) +
                    ", outside the 1 to 20 places of the neighbour list.");
    constexpr int kNone = -1;  // a station number no candidate has
    // The kriging method looks at more candidates than it keeps, to take them from every side.
    const bool balanced = balancedSelection();
    const int places = balanced ? std::min(kPoolPlaces, 3 * maxStat) : maxStat;
    std::array<float, kPoolPlaces + 1> d;
    std::array<int, kPoolPlaces + 1> s;
    picked_.clear();
    copyStations_.clear();

    if (!database_ || !spatialSearch_) {
        const SpherePoint at = spherePoint(working.Lon, working.Lat);
        for (Station& c : table.stations) {
            c.Dist = Distance(working.Lon, working.Lat, c.Lon, c.Lat, settings_.DistEpsilon);
            // As in selectNear: only the described method takes the antipode for the location.
            if (c.Dist == 0 && method() != Method::Described && centralCosine(at, spherePoint(c.Lon, c.Lat)) < 0) c.Dist = 20000.0f;
        }
        d.fill(20000.0f);
        s.fill(kNone);
        const int count = table.StationCount();
        const bool collapse = collapsesCopies();
        for (int k = 0; k < count; ++k) {
            const Station& c = table.stations[ix(k)];
            if (!passesFilters(c, c.Dist)) continue;
            if (collapse && c.Dist < d[ix(places)]) {
                bool copy = false;
                for (int p = 1; p <= places && s[ix(p)] != kNone && !copy; ++p) copy = sameStation(table.stations[ix(s[ix(p)])], c);
                if (copy) {
                    copyStations_.push_back(&c);
                    continue;
                }
            }
            insertCandidate(d, s, places, c.Dist, k);
        }
        for (int p = 1; p <= places && s[ix(p)] != kNone; ++p)
            picked_.push_back({&table.stations[ix(s[ix(p)])], table.stations[ix(s[ix(p)])].Dist, nullptr});
    } else {
        selectNear(places);
    }

    if (balanced) balanceDirections(maxStat);
    // The copies of a station that was taken, for the note (a copy of one pushed out later is no
    // neighbour's copy).
    int copies = 0;
    for (const Station* copy : copyStations_)
        copies += std::any_of(picked_.begin(), picked_.end(), [&](const Picked& p) { return p.station != copy && sameStation(*p.station, *copy); });
    if (copies > 0)
        messages.push_back({"Copies of one station", std::to_string(copies) + (copies == 1 ? " copy" : " copies") +
                                                         " of a neighbour (the same position and values) counted once: "
                                                         "each station takes one neighbour place."});
    ns.NeighbourCount = static_cast<int16_t>(picked_.size());
    for (int i = 1; i <= ns.NeighbourCount; ++i) {
        const Station& c = *picked_[ix(i - 1)].station;
        Station& e = ns[i];
        e.Lon = c.Lon;
        e.Lat = c.Lat;
        e.Alt = c.Alt;
        e.Dist = picked_[ix(i - 1)].dist;
        for (int m = 1; m <= 12; ++m) e.Data[ix(m)] = c.Data[ix(m)];
        e.Name = c.Name;
        e.Country = c.Country;
        if (picked_[ix(i - 1)].point) points_[ix(i)] = *picked_[ix(i - 1)].point;
    }
    if (method() != Method::Described) measurePrecisely();
    const SpherePoint at = spherePoint(working.Lon, working.Lat);
    for (int i = 1; i <= ns.NeighbourCount; ++i) {
        Station& e = ns[i];
        const SpherePoint& to = neighbourPoint(i);
        e.Dir = static_cast<float>(bearing(at, to, arcTerms(at, to)).degrees());
        e.DirCode = SectorName(e.Dir);
    }
}

bool NeighbourSearch::balancedSelection() const { return method() == Method::Kriging; }

// Beside a dense national network the nearest stations all lie on its side, and kriging can
// only weigh what it is given: it is given stations from every side. Nearest first, at most a
// quarter of the places from one quadrant of bearings, then the nearest of the others for the
// places left over (10 folds on the default data: Prec 13.27 -> 13.25 %, the stations beside
// Germany's and Japan's networks 14.29 -> 14.24 % and 11.98 -> 11.78 %, Temp 0.5619 -> 0.5615 K;
// at most three from a quadrant gained less for precipitation). Looking at 120 or 200 candidates
// instead of 60 reaches the stations across a border a dense network hides (Strasbourg's French
// neighbours behind the German ones) but gained little more: Prec 12.804 -> 12.797 %, the stations
// beside Germany 12.5 -> 12.4 % (10 folds, seed 1), Temp 0.5615 -> 0.5614 K.
void NeighbourSearch::balanceDirections(int maxStat) {
    if (static_cast<int>(picked_.size()) <= maxStat) return;
    const int quota = (maxStat + 3) / 4;
    const SpherePoint at = spherePoint(working.Lon, working.Lat);
    std::array<int, 4> taken{};
    keep_.assign(picked_.size(), 0);
    int kept = 0;
    for (size_t i = 0; i < picked_.size() && kept < maxStat; ++i) {
        const Picked& p = picked_[i];
        const SpherePoint to = p.point ? *p.point : spherePoint(p.station->Lon, p.station->Lat);
        int quadrant = -1;
        if (p.dist > 0) quadrant = std::clamp(static_cast<int>(bearing(at, to, arcTerms(at, to)).degrees() / 90.0), 0, 3);
        if (quadrant >= 0 && taken[ix(quadrant)] >= quota) continue;
        if (quadrant >= 0) ++taken[ix(quadrant)];
        keep_[i] = 1;
        ++kept;
    }
    for (size_t i = 0; i < picked_.size() && kept < maxStat; ++i)
        if (!keep_[i]) {
            keep_[i] = 1;
            ++kept;
        }
    size_t out = 0;
    for (size_t i = 0; i < picked_.size(); ++i)
        if (keep_[i]) picked_[out++] = picked_[i];
    picked_.resize(out);
}

const SpherePoint& NeighbourSearch::neighbourPoint(int i) {
    SpherePoint& p = points_[ix(i)];
    if (!(p.lon == ns[i].Lon && p.lat == ns[i].Lat)) p = spherePoint(ns[i].Lon, ns[i].Lat);
    return p;
}

void NeighbourSearch::countActive() {
    int active = 0, activeAlt = 0;
    for (int i = 1; i <= kMaxNeighbours; ++i) active += ns[i].Active;
    for (int i = 1; i <= ns.NeighbourCount; ++i)
        if (ns[i].Alt != kUnknown && ns[i].Active == 1) activeAlt += ns[i].Active;
    ns.ActiveCount = static_cast<int16_t>(active);
    ns.ActiveAltCount = static_cast<int16_t>(activeAlt);
}

void NeighbourSearch::InitialActivation() {
    for (int i = 1; i <= kMaxNeighbours; ++i) ns[i].Active = i <= ns.NeighbourCount ? 1 : 0;
    warn.WarnDoubled = false;
    for (int i = 2; i <= ns.NeighbourCount; ++i) {
        if (ns[i].Active != 1) continue;
        for (int j = 1; j < i; ++j)
            if (ns[j].Lon == ns[i].Lon && ns[j].Lat == ns[i].Lat) {
                ns[i].Active = 0;
                warn.WarnDoubled = true;
            }
    }
}

void NeighbourSearch::ActivateNeighbours() {
    InitialActivation();
    countActive();
}

void NeighbourSearch::ReadActivation(const std::array<int16_t, 20>& checks) {
    for (int i = 1; i <= kMaxNeighbours; ++i) ns[i].Active = checks[ix(i - 1)] ? 1 : 0;
    countActive();
}


}  // namespace zentrel
