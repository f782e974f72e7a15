// Packed 64-bit keys for names: up to 8 bytes stored as they are, longer names by
// their first 9 characters at 7 bits each. Keyword tables are sorted arrays of keys.
#pragma once

#include <cstring>

#include <td/String.h>
#include <td/Types.h>

namespace td
{
template <typename TInt, int LEN> class StrKeyBase
{
    static_assert(sizeof(TInt) == 8 && LEN == 9, "64-bit keys of 9 characters");

public:
    static constexpr int Length = LEN;

    constexpr StrKeyBase() noexcept = default;
    constexpr explicit StrKeyBase(TInt value) noexcept : _key(value) {}

    // A negative length means strlen(name); a null or empty name gives the key 0.
    StrKeyBase(const char* name, int length = -1) noexcept
    {
        if (!name)
            return;
        std::size_t n = length < 0 ? std::strlen(name) : static_cast<std::size_t>(length);
        _key = pack(name, n);
    }

    template <int P> explicit StrKeyBase(const StringBase<char, 0, 4, P>& name) noexcept
        : _key(pack(name.c_str(), name.length()))
    {
    }

    static TInt pack(const char* name, std::size_t n) noexcept
    {
        if (!name || n == 0)
            return 0;
        TInt key = 0;
        if (n < static_cast<std::size_t>(LEN))
        {
            for (std::size_t i = 0; i < n; ++i)
                key |= static_cast<TInt>(static_cast<unsigned char>(name[i])) << (8 * i);
            return key;
        }
        for (int i = 0; i < 8; ++i)
            key |= static_cast<TInt>(static_cast<unsigned char>(name[i]) & 0x7F) << (57 - 7 * i);
        key |= static_cast<TInt>(static_cast<unsigned char>(name[8]) & 0x7F);
        return key;
    }

    constexpr TInt value() const noexcept { return _key; }
    constexpr auto operator<=>(const StrKeyBase&) const noexcept = default;

private:
    TInt _key = 0;
};

using StrKey = StrKeyBase<LUINT8, 9>;
} // namespace td
