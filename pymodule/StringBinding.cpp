// The Python class String over td::String, and the implicit conversions that let a Python
// text stand wherever a String is taken.
#include <cstring>

#include <td/String.h>

#include "Bindings.h"

namespace simHostPy
{
namespace
{
// A Python text read where it stands, as String takes it: its bytes up to the first zero
// byte. The object it reads outlives the call that reads it.
struct TextArgument
{
    const char* data = nullptr;
    std::size_t size = 0;
    // More bytes than the length field of a string header holds; data is not read then.
    bool tooLong = false;
};

constexpr const char* cTooLong = "String is longer than 268435455 bytes";

std::size_t bytesBeforeZero(const char* data, Py_ssize_t n)
{
    const void* zero = n > 0 ? std::memchr(data, 0, static_cast<std::size_t>(n)) : nullptr;
    return zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - data) : static_cast<std::size_t>(n);
}

// Whether the UTF-8 form of a str holds more bytes before its first zero than a String
// can: counted from its code points, without encoding it.
bool strTooLong(PyObject* pStr)
{
#if PY_VERSION_HEX < 0x030C0000
    if (PyUnicode_READY(pStr) != 0)
    {
        PyErr_Clear();
        return false;
    }
#endif
    const Py_ssize_t n = PyUnicode_GET_LENGTH(pStr);
    const int kind = PyUnicode_KIND(pStr);
    // The most bytes a code point of the str's kind takes in UTF-8.
    const std::size_t widest = PyUnicode_IS_ASCII(pStr) ? 1 : kind == PyUnicode_1BYTE_KIND ? 2 : kind + 1;
    if (static_cast<std::size_t>(n) * widest <= td::priv::cMaxStringLength)
        return false;
    const void* data = PyUnicode_DATA(pStr);
    if (PyUnicode_IS_ASCII(pStr))
        return bytesBeforeZero(static_cast<const char*>(data), n) > td::priv::cMaxStringLength;
    std::size_t bytes = 0;
    for (Py_ssize_t i = 0; i < n && bytes <= td::priv::cMaxStringLength; ++i)
    {
        const Py_UCS4 c = PyUnicode_READ(kind, data, i);
        if (c == 0)
            break;
        bytes += c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    }
    return bytes > td::priv::cMaxStringLength;
}

// Whether a str, a bytes or a bytearray object holds more bytes before its first zero than
// a String can; false for any other object. Nothing is copied or encoded.
bool textTooLong(PyObject* pObj)
{
    if (PyUnicode_Check(pObj))
        return strTooLong(pObj);
    const bool isBytes = PyBytes_Check(pObj);
    if (!isBytes && !PyByteArray_Check(pObj))
        return false;
    const Py_ssize_t n = isBytes ? PyBytes_GET_SIZE(pObj) : PyByteArray_GET_SIZE(pObj);
    if (static_cast<std::size_t>(n) <= td::priv::cMaxStringLength)
        return false;
    return bytesBeforeZero(isBytes ? PyBytes_AS_STRING(pObj) : PyByteArray_AS_STRING(pObj), n) >
           td::priv::cMaxStringLength;
}

// Reads a str (its UTF-8 form), a bytes or a bytearray object in place; false for any
// other object, and for a str that has no UTF-8 form. A text too long is only marked so.
bool readText(PyObject* pObj, TextArgument& out)
{
    out = TextArgument();
    out.tooLong = textTooLong(pObj);
    if (out.tooLong)
        return true;
    Py_ssize_t n = 0;
    if (PyBytes_Check(pObj))
    {
        out.data = PyBytes_AS_STRING(pObj);
        n = PyBytes_GET_SIZE(pObj);
    }
    else if (PyByteArray_Check(pObj))
    {
        out.data = PyByteArray_AS_STRING(pObj);
        n = PyByteArray_GET_SIZE(pObj);
    }
    else if (PyUnicode_Check(pObj))
        out.data = PyUnicode_AsUTF8AndSize(pObj, &n);
    if (!out.data)
    {
        PyErr_Clear();
        return false;
    }
    out.size = bytesBeforeZero(out.data, n);
    return true;
}
} // namespace
} // namespace simHostPy

namespace pybind11::detail
{
// A text argument read in place, shown as str; None reads as the empty text.
template <> struct type_caster<simHostPy::TextArgument>
{
    PYBIND11_TYPE_CASTER(simHostPy::TextArgument, const_name("str"));

    bool load(handle src, bool)
    {
        if (!src)
            return false;
        value = simHostPy::TextArgument();
        return src.is_none() || simHostPy::readText(src.ptr(), value);
    }
};
} // namespace pybind11::detail

namespace simHostPy
{
namespace
{
// Stands in front of the implicit conversions into String: a text too long for a String
// raises ValueError there, with a short message, where the conversions would fail quietly
// and the call would end in a TypeError that repeats the whole argument. Any other object
// goes on to them.
PyObject* refuseTooLongText(PyObject* pObj, PyTypeObject*)
{
    if (textTooLong(pObj))
        throw py::value_error(cTooLong);
    return nullptr;
}

// A String of the bytes up to the first zero byte; None gives the empty String. A text that
// the length field of the string header cannot hold is refused.
td::String makeString(const TextArgument& text)
{
    if (text.tooLong)
        throw py::value_error(cTooLong);
    return td::String(text.data, text.size);
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
    py::detail::type_info* pInfo = py::detail::get_type_info(typeid(td::String));
    if (!pInfo)
        py::pybind11_fail("String is not registered");
    pInfo->implicit_conversions.emplace_back(&refuseTooLongText);
    py::implicitly_convertible<std::string, td::String>();
    py::implicitly_convertible<const char*, td::String>();
}
} // namespace simHostPy
