// Substitution of "@" placeholders in message texts by a counted list of strings.
// A leading "@" (an untranslated key) is kept; unused strings are appended after ": ".
#pragma once

#include <cstdarg>
#include <cstring>

#include <td/String.h>

namespace sc
{
template <typename NextArg> td::String substituteAt(const char* text, int nArgs, NextArg&& nextArg)
{
    td::MutableString out;
    if (text)
    {
        out.reserve(std::strlen(text) * 2 + 1);
        const char* p = text;
        if (*p == '@')
            out.append(p++, 1);
        for (const char* at; (at = std::strchr(p, '@')) != nullptr && nArgs > 0; p = at + 1, --nArgs)
        {
            if (at > p)
                out.append(p, static_cast<std::size_t>(at - p));
            out.append(nextArg());
        }
        out.append(p);
    }
    for (bool first = true; nArgs > 0; --nArgs, first = false)
    {
        out.append(first ? ": " : ", ");
        out.append(nextArg());
    }
    return out.toString();
}

inline td::String substituteAt(const char* text, int nArgs, const char* const* args)
{
    return substituteAt(text, nArgs, [&args]() { return *args++; });
}

inline td::String substituteAtV(const char* text, int nArgs, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    td::String result = substituteAt(text, nArgs, [&copy]() { return va_arg(copy, const char*); });
    va_end(copy);
    return result;
}
} // namespace sc
