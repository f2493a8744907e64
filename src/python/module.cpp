// The compiled part of the Python package zentrel: exceptions and the registration of each piece.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "error.h"
#include "python/bindings.h"
#include "python/estimate_request.h"
#include "python/quantities.h"
#include "version.h"

namespace py = pybind11;
using namespace zentrel::python;

PYBIND11_MODULE(_zentrel, m) {
    m.doc() = "Long-term monthly climate estimates for any point on the Earth's land surface (compiled part).";
    static py::exception<zentrel::Error> dataError(m, "DataError", PyExc_Exception);
    dataError.doc() = "A data file the estimate needs is missing or cannot be used; the message names it.";
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const zentrel::Error& e) {
            PyErr_SetString(dataError.ptr(), e.what());
        } catch (const ArgumentError& e) {
            PyErr_SetString(PyExc_ValueError, e.message.c_str());
        }
    });
    m.attr("__version__") = zentrel::programVersion();
    m.attr("METHODS") = py::tuple(py::cast(methodNames()));
    m.attr("SETTINGS") = py::tuple(py::cast(settingNames()));
    py::list quantities;
    for (const char* name : quantityNames()) quantities.append(name);
    m.attr("QUANTITIES") = py::tuple(quantities);
    bindResult(m);
    bindDatabase(m);
    bindSeason(m);
    bindDataLookup(m);
}
