// zentrel.cycles and zentrel.growing_seasons: dekadal and daily values from an estimate's fitted
// annual course, and the growing seasons of a year from precipitation against PET.
#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cmath>
#include <optional>

#include <fmt/format.h>

#include "data/possible_values.h"
#include "python/bindings.h"
#include "python/estimate_request.h"
#include "season/cycle.h"
#include "season/growing_season.h"

namespace zentrel::python {

namespace {

template <size_t N>
py::array_t<float> slice(const std::array<float, N>& a, size_t first, size_t count) {
    py::array_t<float> out(static_cast<py::ssize_t>(count));
    std::copy(a.begin() + static_cast<std::ptrdiff_t>(first), a.begin() + static_cast<std::ptrdiff_t>(first + count),
              out.mutable_data());
    return out;
}

py::dict cycles(const Result& r, py::handle levelIn) {
    const std::optional<int> level = levelIn.is_none() ? std::nullopt : std::optional<int>(levelArgument(levelIn));
    const float z = level ? confidenceFactor(*level) : 0.0f;
    DailyCycle daily;
    DekadalCycle dekadal;
    fillDailyCycle(r.value.result, r.value.variable, z, daily);
    fillDekadalCycle(r.value.result, r.value.variable, z, dekadal);
    py::dict out;
    out["daily"] = slice(daily.Daily, 1, 365);
    out["dekadal"] = slice(dekadal.Dekadal, 1, 36);
    if (level) {
        out["daily_low"] = slice(daily.DailyLow, 1, 365);
        out["daily_high"] = slice(daily.DailyHigh, 1, 365);
        out["dekadal_low"] = slice(dekadal.DekadalLow, 1, 36);
        out["dekadal_high"] = slice(dekadal.DekadalHigh, 1, 36);
    }
    return out;
}

// Monthly values 1..12 from a Result of the expected variable or from 12 (or 13) numbers.
Monthly monthlyValues(py::handle value, int variable, const char* name) {
    Monthly out{};
    if (py::isinstance<Result>(value)) {
        const Result& r = value.cast<const Result&>();
        if (r.value.variable != variable)
            throw ArgumentError{std::string(name) + " must be an estimate of " + kVariableNames[static_cast<size_t>(variable)] +
                                ", not of " + kVariableNames[static_cast<size_t>(r.value.variable)] + "."};
        return r.value.result.Best;
    }
    auto array = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(value);
    if (!array || array.ndim() != 1 || (array.size() != 12 && array.size() != 13))
        throw ArgumentError{std::string(name) + " must be a Result or 12 monthly values (13 with the annual one)."};
    for (size_t m = 1; m <= 12; ++m) {
        const double v = array.data()[m - 1];
        // The values a station file may hold for the variable, as everywhere else.
        const PossibleRange range = possibleMonthlyRange(variable);
        if (!(v >= range.low && v <= range.high))
            throw ArgumentError{fmt::format("{}[{}] must be {}..{}, got {}", name, m - 1, range.low, range.high,
                                            py::repr(py::float_(v)).cast<std::string>())};
        out[m] = static_cast<float>(v);
    }
    return out;
}

py::object dayMonth(float code) {
    if (code == kNoDate) return py::none();
    const int day = static_cast<int>(std::floor(code));
    const int month = static_cast<int>(std::lround((code - static_cast<float>(day)) * 100));
    return py::make_tuple(day, month);
}

py::object dayNumber(float value) {
    if (value == kNoDate) return py::none();
    return py::int_(static_cast<int>(value));
}

const char* typeName(int type) {
    switch (type) {
        case SeasonNone: return "none";
        case SeasonDry: return "dry";
        case SeasonHumid: return "humid";
        case SeasonAllYear: return "all_year";
        case SeasonHumidAllYear: return "humid_all_year";
        case SeasonAllYearHumid: return "all_year_humid";
        default: return "";
    }
}

py::dict growingSeasons(py::handle precIn, py::handle petIn) {
    const Monthly prec = monthlyValues(precIn, Prec, "prec");
    const Monthly pet = monthlyValues(petIn, PET, "pet");
    const SeasonAnalysis a = analyseGrowingSeasons(prec, pet);
    py::list seasons;
    for (int k = 1; k <= static_cast<int>(a.SeasonCount); ++k) {
        py::dict s;
        const int type = static_cast<int>(a.cell(k, 1));
        s["type"] = type;
        s["type_name"] = typeName(type);
        s["length"] = a.cell(k, 8);
        s["begin"] = dayMonth(a.cell(k, 2));
        s["end"] = dayMonth(a.cell(k, 3));
        s["humid_begin"] = dayMonth(a.cell(k, 4));
        s["humid_end"] = dayMonth(a.cell(k, 5));
        s["begin_day"] = dayNumber(a.cell(k, 6));
        s["end_day"] = dayNumber(a.cell(k, 7));
        seasons.append(s);
    }
    py::list events;
    for (int k = 1; k <= static_cast<int>(a.EventCount); ++k)
        events.append(py::make_tuple(a.EventLabels[static_cast<size_t>(k)], a.EventDates[static_cast<size_t>(k)]));
    py::dict out;
    out["seasons"] = seasons;
    out["events"] = events;
    return out;
}

}  // namespace

void bindSeason(py::module_& m) {
    m.def("cycles", &cycles, py::arg("result"), py::arg("level") = py::none(),
          R"(Daily (365) and dekadal (36) values from the result's fitted annual course: "daily",
"dekadal", and with a level also "daily_low", "daily_high", "dekadal_low", "dekadal_high".
Prec and PET are amounts per day and totals per dekad.)");
    m.def("growing_seasons", &growingSeasons, py::arg("prec"), py::arg("pet"),
          R"(The growing seasons of the year from monthly precipitation against half and full PET.

prec and pet: estimates of Prec and PET, or 12 (or 13) monthly values in mm. Returns
"seasons", longest first, each with "type" (1..6), "type_name", "length" (days), "begin",
"end", "humid_begin", "humid_end" ((day, month) or None) and "begin_day", "end_day" (day
of a 360-day year or None); and "events", (label, date) of every crossing ("b" season
begins, "B" humid begins, "E" humid ends, "e" season ends).)");
}

}  // namespace zentrel::python
