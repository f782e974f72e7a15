// Tagged 8-byte value with a one-byte type code; header parameters are Variants.
// A string Variant owns (shares) its td::String; copies follow the string sharing rule.
#pragma once

#include <climits>
#include <cmath>
#include <cstring>
#include <new>

#include <td/Assert.h>
#include <td/CoreLibNames.h>
#include <td/Decimal.h>
#include <td/String.h>
#include <td/Types.h>

namespace td
{
enum DataType : BYTE
{
    TD_NONE = 0,
    boolean = 1,
    byte = 2,
    word = 3,
    int2 = 4,
    uint4 = 5,
    int4 = 6,
    lint8 = 7,
    luint8 = 8,
    real4 = 9,
    real8 = 10,
    string8 = 11,
    // Further codes of the wider enumeration, read by the conversions only.
    int4Alt1 = 15,
    int4Alt2 = 16,
    int4Pair = 17,
    decimal0 = 18,
    decimal1 = 19,
    decimal2 = 20,
    decimal3 = 21,
    decimal4 = 22,
    noValue = 27,
    uint4Alt = 34,
    byteAlt1 = 35,
    byteAlt2 = 39,
    byteAlt3 = 40,
    byteAlt4 = 41,
    smallDecimal0 = 42,
    smallDecimal1 = 43,
    smallDecimal2 = 44,
    smallDecimal3 = 45,
    smallDecimal4 = 46,
};

class Variant
{
public:
    Variant() noexcept { std::memset(_data, 0, sizeof(_data)); }
    Variant(const char* text) : Variant() { setString(String(text)); }
    Variant(const String& s) : Variant() { setString(s); }
    explicit Variant(bool value) : Variant() { set(boolean, static_cast<char>(value ? 'Y' : 'N')); }
    explicit Variant(INT4 value) : Variant() { set(int4, value); }
    explicit Variant(double value) : Variant() { set(real8, value); }

    // Any code with a payload of the given representation (bytes copied from the front).
    template <typename V> static Variant make(BYTE code, V value)
    {
        Variant v;
        v.set(code, value);
        return v;
    }

    Variant(const Variant& other) : Variant() { copyFrom(other); }
    Variant(Variant&& other) noexcept : _type(other._type)
    {
        std::memcpy(_data, other._data, sizeof(_data));
        std::memset(other._data, 0, sizeof(other._data));
        other._type = TD_NONE;
    }
    ~Variant() { release(); }

    Variant& operator=(const Variant& other)
    {
        if (this == &other)
            return *this;
        Variant copy(other);
        swap(copy);
        return *this;
    }
    Variant& operator=(Variant&& other) noexcept
    {
        if (this != &other)
        {
            Variant moved(std::move(other));
            swap(moved);
        }
        return *this;
    }
    Variant& operator=(const String& s)
    {
        String keep(s);
        release();
        setString(keep);
        return *this;
    }

    void swap(Variant& other) noexcept
    {
        unsigned char tmp[8];
        std::memcpy(tmp, _data, 8);
        std::memcpy(_data, other._data, 8);
        std::memcpy(other._data, tmp, 8);
        std::swap(_type, other._type);
    }

    // Releases a string payload; the payload becomes 0 and the code stays.
    void release() noexcept
    {
        if (_type == string8)
            str().~String();
        std::memset(_data, 0, sizeof(_data));
    }

    BYTE getType() const noexcept { return _type; }
    bool isSet() const noexcept { return _type != TD_NONE; }

    INT4 i4Val() const noexcept { return get<INT4>(); }
    double r8Val() const noexcept { return get<double>(); }
    bool boolVal() const noexcept { return get<char>() == 'Y'; }
    const String& strVal() const
    {
        TD_ASSERT(_type == string8);
        return str();
    }

    INT4 toInt() const
    {
        switch (_type)
        {
        case boolean: return boolVal() ? 1 : 0;
        case byte:
        case byteAlt1:
        case byteAlt2:
        case byteAlt3:
        case byteAlt4: return get<BYTE>();
        case word: return get<WORD>();
        case int2: return get<INT2>();
        case uint4:
        case uint4Alt: return static_cast<INT4>(get<UINT4>());
        case int4:
        case int4Alt1:
        case int4Alt2:
        case int4Pair: return get<INT4>();
        case lint8: return static_cast<INT4>(static_cast<UINT4>(get<LINT8>()));
        case luint8: return static_cast<INT4>(static_cast<UINT4>(get<LUINT8>()));
        case real4: return truncate(get<float>());
        case real8: return truncate(get<double>());
        case string8: return textToInt(str().c_str());
        case decimal0:
        case decimal1:
        case decimal2:
        case decimal3:
        case decimal4:
        case smallDecimal0:
        case smallDecimal1:
        case smallDecimal2:
        case smallDecimal3:
        case smallDecimal4: return truncate(toDouble());
        default: return 0;
        }
    }

    double toDouble() const
    {
        switch (_type)
        {
        case boolean: return boolVal() ? 1.0 : 0.0;
        case byte:
        case byteAlt1:
        case byteAlt2:
        case byteAlt3:
        case byteAlt4: return get<BYTE>();
        case word: return get<WORD>();
        case int2: return get<INT2>();
        case uint4:
        case uint4Alt: return get<UINT4>();
        case int4:
        case int4Alt1:
        case int4Alt2: return get<INT4>();
        case int4Pair:
        {
            INT4 halves[2];
            std::memcpy(halves, _data, sizeof(halves));
            LINT8 combined = (static_cast<LINT8>(halves[1]) * (LINT8(1) << 32)) | static_cast<LINT8>(halves[0]);
            return static_cast<double>(combined);
        }
        case lint8: return static_cast<double>(get<LINT8>());
        case luint8: return static_cast<double>(get<LUINT8>());
        case real4: return get<float>();
        case real8: return get<double>();
        case string8: return mu::toDouble(str().c_str());
        case decimal0: return Decimal<LINT8, 0>(get<LINT8>()).toDouble();
        case decimal1: return Decimal<LINT8, 1>(get<LINT8>()).toDouble();
        case decimal2: return Decimal<LINT8, 2>(get<LINT8>()).toDouble();
        case decimal3: return Decimal<LINT8, 3>(get<LINT8>()).toDouble();
        case decimal4: return Decimal<LINT8, 4>(get<LINT8>()).toDouble();
        case smallDecimal0: return Decimal<INT4, 0>(get<INT4>()).toDouble();
        case smallDecimal1: return Decimal<INT4, 1>(get<INT4>()).toDouble();
        case smallDecimal2: return Decimal<INT4, 2>(get<INT4>()).toDouble();
        case smallDecimal3: return Decimal<INT4, 3>(get<INT4>()).toDouble();
        case smallDecimal4: return Decimal<INT4, 4>(get<INT4>()).toDouble();
        default: return 0.0;
        }
    }

    // In-place addition of a Variant of the same code; integers wrap.
    Variant& operator+=(const Variant& other)
    {
        TD_ASSERT(_type == other._type);
        switch (_type)
        {
        case boolean:
            if (other.boolVal())
                set(boolean, 'Y');
            break;
        case byte: addWrapped<BYTE>(other); break;
        case word: addWrapped<WORD>(other); break;
        case int2: addWrapped<UINT2>(other); break;
        case uint4:
        case int4:
        case smallDecimal0:
        case smallDecimal1:
        case smallDecimal2:
        case smallDecimal3:
        case smallDecimal4: addWrapped<UINT4>(other); break;
        case lint8:
        case luint8:
        case decimal0:
        case decimal1:
        case decimal2:
        case decimal3:
        case decimal4: addWrapped<LUINT8>(other); break;
        case real4: set(real4, get<float>() + other.get<float>()); break;
        case real8: set(real8, get<double>() + other.get<double>()); break;
        case string8:
        {
            String joined(str());
            joined.append(other.str().c_str(), static_cast<int>(other.str().length()));
            str() = joined;
            break;
        }
        default: break;
        }
        return *this;
    }

    friend Variant operator+(const Variant& a, const Variant& b)
    {
        if (a._type == b._type)
        {
            Variant sum(a);
            sum += b;
            return sum;
        }
        if (isIntegral(a._type) && isIntegral(b._type))
        {
            UINT4 s = static_cast<UINT4>(a.toInt()) + static_cast<UINT4>(b.toInt());
            return Variant(static_cast<INT4>(s));
        }
        return Variant(a.toDouble() + b.toDouble());
    }

private:
    static bool isIntegral(BYTE code)
    {
        return (code >= byte && code <= luint8) || code == decimal0 || code == smallDecimal0;
    }

    // Toward zero; NaN and values outside the 32-bit range give INT_MIN.
    static INT4 truncate(double d) noexcept
    {
        if (!(d > -2147483649.0 && d < 2147483648.0))
            return INT_MIN;
        return static_cast<INT4>(d);
    }

    // Like atoi, but an out-of-range number gives INT_MIN instead of undefined behaviour.
    static INT4 textToInt(const char* s) noexcept
    {
        while (*s == ' ' || (*s >= '\t' && *s <= '\r'))
            ++s;
        bool negative = *s == '-';
        if (*s == '-' || *s == '+')
            ++s;
        LINT8 value = 0;
        for (; *s >= '0' && *s <= '9'; ++s)
        {
            value = value * 10 + (*s - '0');
            if (value > 2147483648LL)
                return INT_MIN;
        }
        if (negative)
            value = -value;
        if (value > INT_MAX)
            return INT_MIN;
        return static_cast<INT4>(value);
    }

    template <typename V> V get() const noexcept
    {
        V v;
        std::memcpy(&v, _data, sizeof(V));
        return v;
    }

    template <typename V> void set(BYTE code, V value) noexcept
    {
        static_assert(sizeof(V) <= 8 && std::is_trivially_copyable_v<V>);
        if (_type == string8)
            str().~String();
        std::memset(_data, 0, sizeof(_data));
        std::memcpy(_data, &value, sizeof(V));
        _type = code;
    }

    template <typename U> void addWrapped(const Variant& other) noexcept
    {
        U sum = static_cast<U>(get<U>() + other.get<U>());
        std::memcpy(_data, &sum, sizeof(U));
    }

    void setString(const String& s)
    {
        if (_type == string8)
            str().~String();
        new (_data) String(s);
        _type = string8;
    }

    void copyFrom(const Variant& other)
    {
        if (other._type == string8)
            setString(other.str());
        else
        {
            std::memcpy(_data, other._data, sizeof(_data));
            _type = other._type;
        }
    }

    String& str() noexcept { return *std::launder(reinterpret_cast<String*>(_data)); }
    const String& str() const noexcept { return *std::launder(reinterpret_cast<const String*>(_data)); }

    alignas(8) unsigned char _data[8];
    BYTE _type = TD_NONE;
};
} // namespace td
