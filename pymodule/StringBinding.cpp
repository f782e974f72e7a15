// The Python class String over td::String, and the implicit conversions that let a Python
// text stand wherever a String is taken.
#include <cstring>

#include <td/String.h>

#include "Bindings.h"

namespace simHostPy
{
namespace
{
// A String of the bytes up to the first zero byte; None gives the empty String. A text that
// the length field of the string header cannot hold is refused.
td::String makeString(const char* text)
{
    std::size_t n = text ? std::strlen(text) : 0;
    if (n > td::priv::cMaxStringLength)
        throw py::value_error("String is longer than 268435455 bytes");
    return td::String(text, n);
}

// The bytes a lead byte of a UTF-8 sequence stands for; 1 for a byte that leads none.
td::UINT4 glyphStep(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0)
        return 2;
    if ((lead & 0xF0) == 0xE0)
        return 3;
    if ((lead & 0xF8) == 0xF0)
        return 4;
    return 1;
}

// Glyphs counted by their lead bytes alone; a sequence cut short at the end counts as one.
td::UINT4 glyphLength(const td::String& s)
{
    const char* p = s.c_str();
    td::UINT4 n = s.length(), count = 0;
    for (td::UINT4 pos = 0; pos < n; ++count)
        pos += glyphStep(static_cast<unsigned char>(p[pos]));
    return count;
}

py::str text(const td::String& s) { return toPyStr(s.c_str()); }
} // namespace

void bindString(py::module_& m)
{
    py::class_<td::String>(m, "String", "Wrapper arround Pelto td::String")
        .def(py::init<>())
        .def(py::init(&makeString))
        .def("c_str", &text, "Returns a pointer to the underlying C-string.")
        .def(
            "length", [](const td::String& s) { return s.length(); }, "Returns length of the string in bytes")
        .def("glyphLength", &glyphLength, "Returns length of the string in number of glyphs")
        .def("__str__", &text)
        .def("__repr__", &text);
    py::implicitly_convertible<std::string, td::String>();
    py::implicitly_convertible<const char*, td::String>();
}
} // namespace simHostPy
