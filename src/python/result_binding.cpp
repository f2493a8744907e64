// zentrel.Result: one variable's estimate with numpy arrays of 13 values (January..December,
// annual), the neighbours, the warnings and the messages.
#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include "base/picture.h"
#include "python/bindings.h"
#include "python/estimate_request.h"
#include "python/quantities.h"

namespace zentrel::python {

namespace {

py::array_t<float> months(const Monthly& a) {
    py::array_t<float> out(13);
    float* p = out.mutable_data();
    for (size_t m = 1; m <= 13; ++m) p[m - 1] = a[m];
    return out;
}

py::array_t<float> quantity(const Result& r, Quantity q, int level) {
    py::array_t<float> out(13);
    quantityValues(r.value, q, confidenceFactor(level), out.mutable_data());
    return out;
}

// A station with where it comes from: None where the data folder keeps no station table, the
// table does not list it, or (the mean station) it is no single station.
py::dict station(const Station& s, const StationOrigin* o = nullptr) {
    py::dict d;
    d["name"] = s.Name;
    d["country"] = s.Country;
    d["lon"] = s.Lon;
    d["lat"] = s.Lat;
    d["alt"] = s.Alt;
    d["dist"] = s.Dist;
    d["dir"] = s.Dir;
    d["dir_code"] = s.DirCode;
    d["active"] = s.Active != 0;
    d["weight"] = s.Weight;
    d["data"] = months(s.Data);
    const auto text = [](const std::string& t) { return t.empty() ? py::object(py::none()) : py::object(py::str(t)); };
    const auto years = [o](int n) { return o && o->yearsMax > 0 ? py::object(py::int_(n)) : py::object(py::none()); };
    d["source"] = o ? text(o->source) : py::none();
    d["period"] = o ? text(o->period) : py::none();
    d["years_min"] = years(o ? o->yearsMin : 0);
    d["years_max"] = years(o ? o->yearsMax : 0);
    d["note"] = o ? text(o->note) : py::none();
    return d;
}

const StationOrigin* originOf(const Result& r, int i) { return r.value.origins[static_cast<size_t>(i)].get(); }

py::list neighbourList(const Result& r) {
    py::list out;
    for (int i = 1; i <= r.value.neighbours.NeighbourCount; ++i) out.append(station(r.value.neighbours[i], originOf(r, i)));
    return out;
}

// A table with one row per neighbour, the monthly data as the columns jan..dec and annual.
py::object neighbourTable(const Result& r) {
    py::module_ pandas;
    try {
        pandas = py::module_::import("pandas");
    } catch (const py::error_already_set&) {
        return neighbourList(r);
    }
    static const char* const kMonthColumns[] = {"jan", "feb", "mar", "apr", "may", "jun", "jul",
                                                "aug", "sep", "oct", "nov", "dec", "annual"};
    py::list rows;
    for (int i = 1; i <= r.value.neighbours.NeighbourCount; ++i) {
        py::dict row = station(r.value.neighbours[i], originOf(r, i));
        const Monthly& data = r.value.neighbours[i].Data;
        PyDict_DelItemString(row.ptr(), "data");
        for (size_t m = 1; m <= 13; ++m) row[kMonthColumns[m - 1]] = data[m];
        rows.append(row);
    }
    py::list columns;
    for (const char* c : {"name", "country", "lon", "lat", "alt", "dist", "dir", "dir_code", "active", "weight"})
        columns.append(c);
    for (const char* c : kMonthColumns) columns.append(c);
    for (const char* c : {"source", "period", "years_min", "years_max", "note"}) columns.append(c);
    return pandas.attr("DataFrame")(rows, py::arg("columns") = columns);
}

}  // namespace

void bindResult(py::module_& m) {
    auto c = py::class_<Result>(m, "Result", "One variable's estimate at one location.");
    c.def_property_readonly(
        "variable", [](const Result& r) { return kVariableNames[static_cast<size_t>(r.value.variable)]; },
        "\"Temp\", \"Tmax\", ...");
    c.def_property_readonly("lon", [](const Result& r) { return r.value.location.Lon; });
    c.def_property_readonly("lat", [](const Result& r) { return r.value.location.Lat; });
    c.def_property_readonly(
        "alt", [](const Result& r) { return r.value.location.Alt; },
        "Altitude in m the estimate ran at (given, or from the elevation raster).");
    c.def_readonly("level", &Result::level, "Confidence level of low and high: 90, 95 or 99 (%).");
    // In the order of quantityNames().
    static const char* const kQuantityDocs[kQuantityCount] = {
        "The bias-corrected estimate; the annual value is the year's total for Prec and PET, the mean of\n"
        "the months for the others.",
        "Low bound at the level: best - k stderr (k 1.645, 1.96, 2.576), or for an estimate made in ratio\n"
        "space its bound taken back; negative amounts as 0, Sun at most 1; NaN without an error estimate.",
        "High bound at the level, as low; NaN without an error estimate.",
        "Cross-validation standard error; NaN where no error was estimated (fewer than the stations it needs).\n"
        "For Prec and PET the annual value is the error of the year's total.",
        "Cross-validation bias (already removed from best); NaN where no error was estimated.",
        "Horizontal gradient length per 100 km.",
        "Horizontal gradient direction, degrees clockwise from north.",
        "Altitude slope per m.",
        "Longitude coefficient per degree (annual value 0).",
        "Latitude coefficient per degree (annual value 0).",
        "Eastward gradient per 100 km.",
        "Northward gradient per 100 km.",
        "Explained variance of the altitude regression.",
        "Harmonic fit of the annual course: 0..5 sine, 6..11 cosine coefficients, 12 mean."};
    const auto& names = quantityNames();
    for (size_t q = 0; q < kQuantityCount; ++q) {
        const Quantity quantity_ = static_cast<Quantity>(q);
        c.def_property_readonly(
            names[q], [quantity_](const Result& r) { return quantity(r, quantity_, r.level); }, kQuantityDocs[q]);
    }
    c.def(
        "bounds",
        [](const Result& r, py::handle levelIn) {
            const int level = levelArgument(levelIn);
            return py::make_tuple(quantity(r, Quantity::Low, level), quantity(r, Quantity::High, level));
        },
        py::arg("level"), "Low and High at a confidence level 90, 95 or 99. ValueError otherwise.");
    c.def_property_readonly(
        "direc_grad_name",
        [](const Result& r) {
            std::vector<std::string> out(r.value.result.DirecGradName.begin() + 1, r.value.result.DirecGradName.end());
            return out;
        },
        "2-character compass sector of direc_grad, 13 texts (\"\" without gradient correction).");
    c.def_property_readonly("neighbour_count", [](const Result& r) { return r.value.neighbours.NeighbourCount; });
    c.def_property_readonly(
        "active_count", [](const Result& r) { return r.value.neighbours.ActiveCount; },
        "Active neighbours; 0 means no estimate (every array is NaN).");
    c.def_property_readonly("active_alt_count", [](const Result& r) { return r.value.neighbours.ActiveAltCount; });
    c.def_property_readonly("neighbours", &neighbourTable,
                            "A pandas DataFrame, one row per neighbour, nearest first, with the monthly data as\n"
                            "columns jan..dec and annual, then where each comes from (source, period,\n"
                            "years_min, years_max, note; None where the data folder does not say); without\n"
                            "pandas the same as neighbour_list.");
    c.def_property_readonly("neighbour_list", &neighbourList, "The neighbours as dicts, nearest first.");
    c.def_property_readonly(
        "mean", [](const Result& r) { return station(r.value.neighbours[21]); },
        "The mean station of the active neighbours.");
    c.def_property_readonly("warnings", [](const Result& r) {
        const WarningFlags& w = r.value.warnings;
        py::dict d;
        d["WarnHigh"] = w.WarnHigh;
        d["WarnLow"] = w.WarnLow;
        d["WarnLonely"] = w.WarnLonely;
        d["WarnStrange"] = w.WarnStrange;
        d["WarnDoubled"] = w.WarnDoubled;
        d["WarnFew"] = w.WarnFew;
        d["WarnHit"] = w.WarnHit;
        d["StrangeMonth"] = w.StrangeMonth;
        d["StrangeStation"] = w.StrangeStation;
        d["WarnRecord"] = w.WarnRecord;
        d["RecordMonth"] = w.RecordMonth;
        return d;
    }, "WarnHigh, WarnLow, WarnLonely, WarnStrange, WarnDoubled, WarnFew, WarnHit, WarnRecord (bool),\n"
       "StrangeMonth, StrangeStation and RecordMonth (int; the first period beyond the world's records, 0 none).");
    c.def_property_readonly("caps", [](const Result& r) {
        std::vector<std::string> out;
        for (size_t m = 1; m <= 13; ++m) out.push_back(capNames(r.value.result.Caps[m]));
        return out;
    }, "Per month and the annual value, the limits that acted on the estimate, comma-separated\n"
       "(\"altitude slope\", \"plane\", \"neighbour envelope\", \"world records\", \"temperature order\",\n"
       "\"saturation\", \"covariate fallback\"), \"\" where none did.");
    c.def_property_readonly("messages", [](const Result& r) {
        py::list out;
        for (const Message& msg : r.value.messages) {
            py::dict d;
            d["title"] = msg.title;
            d["text"] = msg.text;
            out.append(d);
        }
        return out;
    }, "Messages of the run, each with \"title\" and \"text\".");
    c.def("__repr__", [](const Result& r) {
        const Location& at = r.value.location;
        return "<zentrel.Result " + std::string(kVariableNames[static_cast<size_t>(r.value.variable)]) + " at lon " +
               shortestFloat(at.Lon) + ", lat " +
               shortestFloat(at.Lat) + ", alt " +
               shortestFloat(at.Alt) + " m, " +
               std::to_string(r.value.neighbours.ActiveCount) + " active neighbours>";
    });
}

}  // namespace zentrel::python
