// The registration steps of the Python module, one a source file, called in this order by
// the module entry, and the one text conversion they share.
#pragma once

#include <cstring>

#include <pybind11/pybind11.h>

namespace simHostPy
{
namespace py = pybind11;

// String and its implicit conversions from Python texts.
void bindString(py::module_& m);
// DoubleVector, ComplexVector, UintVector and StringVector.
void bindVectors(py::module_& m);
// The enums, the logger handle, the solution options and the solving faces.
void bindInterfaces(py::module_& m);
// IRealStaticModel, IComplexStaticModel and IRealDynamicModel.
void bindModels(py::module_& m);
// getConsoleLogger and the three model factories.
void bindFactories(py::module_& m);

// The bytes up to the first zero byte as a Python str, decoded strictly: bytes that are not
// UTF-8 raise UnicodeDecodeError.
inline py::str toPyStr(const char* text, std::size_t n)
{
    PyObject* pStr = PyUnicode_DecodeUTF8(text, static_cast<Py_ssize_t>(n), "strict");
    if (!pStr)
        throw py::error_already_set();
    return py::reinterpret_steal<py::str>(pStr);
}

inline py::str toPyStr(const char* text) { return toPyStr(text, std::strlen(text)); }
} // namespace simHostPy
