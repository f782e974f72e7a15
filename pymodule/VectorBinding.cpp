// The four vector classes of the Python module, one registration template over the element
// type, with the texts of their __repr__ and __str__.
#include <complex>
#include <cstdint>
#include <iomanip>
#include <locale>
#include <sstream>
#include <string>

#include <cnt/SafeFullVector.h>
#include <pybind11/complex.h>
#include <td/String.h>

#include "Bindings.h"

namespace simHostPy
{
namespace
{
using Cmplx = std::complex<double>;

// The elements joined in a stream of the classic locale: "[a, b]" with brackets, else "a b".
template <typename T, typename Write>
std::string joinElements(const cnt::SafeFullVector<T>& v, bool brackets, Write write)
{
    std::ostringstream os;
    os.imbue(std::locale::classic());
    if (brackets)
        os << '[';
    for (std::size_t i = 0; i < v.size(); ++i)
    {
        if (i > 0)
            os << (brackets ? ", " : " ");
        write(os, v[i]);
    }
    if (brackets)
        os << ']';
    return os.str();
}

template <typename T> void plain(std::ostream& os, const T& x) { os << x; }
void fixed6(std::ostream& os, double x) { os << std::fixed << std::setprecision(6) << x; }
void bytes(std::ostream& os, const td::String& s) { os << s.c_str(); }

std::string reprDoubleVector(const cnt::SafeFullVector<double>& v) { return joinElements(v, true, fixed6); }
std::string strDoubleVector(const cnt::SafeFullVector<double>& v) { return joinElements(v, false, plain<double>); }
std::string reprComplexVector(const cnt::SafeFullVector<Cmplx>& v) { return joinElements(v, true, plain<Cmplx>); }
std::string strComplexVector(const cnt::SafeFullVector<Cmplx>& v) { return joinElements(v, false, plain<Cmplx>); }
std::string reprUintVector(const cnt::SafeFullVector<td::UINT4>& v) { return joinElements(v, true, plain<td::UINT4>); }
std::string strUintVector(const cnt::SafeFullVector<td::UINT4>& v) { return joinElements(v, false, plain<td::UINT4>); }
std::string reprStringVector(const cnt::SafeFullVector<td::String>& v) { return joinElements(v, true, bytes); }
std::string strStringVector(const cnt::SafeFullVector<td::String>& v) { return joinElements(v, false, bytes); }

py::str asPyStr(const std::string& text) { return toPyStr(text.data(), text.size()); }

// The position of a Python index: negative counts from the end once; IndexError (with an
// empty message) outside the vector.
template <typename T> std::size_t position(const cnt::SafeFullVector<T>& v, std::int64_t index)
{
    std::int64_t size = static_cast<std::int64_t>(v.size());
    if (index < 0)
        index += size;
    if (index < 0 || index >= size)
        throw py::index_error();
    return static_cast<std::size_t>(index);
}

// Walks a vector by position, asking its size at every step, so a vector cleaned, reserved
// or grown meanwhile is read as it now stands; once done it stays done. Its Python object
// keeps the vector alive.
template <typename T> class VectorIterator
{
public:
    explicit VectorIterator(const cnt::SafeFullVector<T>* pVec) : _pVec(pVec) {}

    T next()
    {
        if (_done || _pos >= _pVec->size())
        {
            _done = true;
            throw py::stop_iteration();
        }
        return (*_pVec)[_pos++];
    }

private:
    const cnt::SafeFullVector<T>* _pVec;
    std::size_t _pos = 0;
    bool _done = false;
};

// Elements go to Python as copies: numbers as Python numbers, texts as String objects that
// share the element's text by reference count, so later writes to the vector leave them be.
template <typename T> void bindVector(py::module_& m, const char* name,
                                      std::string (*repr)(const cnt::SafeFullVector<T>&),
                                      std::string (*str)(const cnt::SafeFullVector<T>&))
{
    using Vec = cnt::SafeFullVector<T>;
    using It = VectorIterator<T>;
    py::class_<It>(py::handle(), "iterator", py::module_local())
        .def("__iter__", [](It& it) -> It& { return it; })
        .def("__next__", &It::next);

    auto size = [](const Vec& v) { return v.size(); };
    auto first = [](const Vec& v) -> py::object { return v.empty() ? py::none() : py::cast(T(v[0])); };
    py::class_<Vec>(m, name)
        .def(py::init<>())
        .def(py::init<std::size_t>(), py::arg("size"))
        .def("size", size, "Returns number of elements in vector")
        .def(
            "empty", [](const Vec& v) { return v.empty(); }, "Returns false if size == 0")
        .def("clean", &Vec::clean, "Release memory and sets size to zero")
        .def("__len__", size)
        .def("__getitem__", [](const Vec& v, std::int64_t index) -> T { return v[position(v, index)]; })
        .def("__setitem__", [](Vec& v, std::int64_t index, const T& value) { v[position(v, index)] = value; })
        .def("reserve", &Vec::reserve, "Reserves specified number of elements", py::arg("size"))
        .def("resize", &Vec::resize, "Changes size if it's not already at that size", py::arg("newSize"))
        .def("zeros", &Vec::zeros, "Set all elements to zero")
        .def("setAll", &Vec::setAll, "Set all elements to specified value", py::arg("value"))
        // Registered twice, as the module has always shown it; the first answers every call.
        .def("data", first)
        .def("data", first)
        .def(
            "takeDataFrom",
            [](Vec& v, const Vec& other) {
                if (other.size() > v.size())
                    throw py::value_error("takeDataFrom: the other vector is longer than this one");
                v.takeDataFrom(other);
            },
            "Copies data from another cnt::SafeFullVector", py::arg("other"))
        .def("copy", [](const Vec& v) { return Vec(v); })
        .def(
            "__iter__", [](const Vec& v) { return It(&v); }, py::keep_alive<0, 1>())
        .def("__repr__", [repr](const Vec& v) { return asPyStr(repr(v)); })
        .def("__str__", [str](const Vec& v) { return asPyStr(str(v)); });
}
} // namespace

void bindVectors(py::module_& m)
{
    bindVector<double>(m, "DoubleVector", reprDoubleVector, strDoubleVector);
    bindVector<Cmplx>(m, "ComplexVector", reprComplexVector, strComplexVector);
    bindVector<td::UINT4>(m, "UintVector", reprUintVector, strUintVector);
    bindVector<td::String>(m, "StringVector", reprStringVector, strStringVector);
}
} // namespace simHostPy
