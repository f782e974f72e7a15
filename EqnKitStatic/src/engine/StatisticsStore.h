// The statistics of a solver: per statistic a running record (minimum, maximum, count,
// mean and sum of squared deviations, by Welford's method). Positions are indices; the
// statements that feed a statistic own their expressions.
#pragma once

#include <cfloat>
#include <complex>

#include <cnt/SafeFullVector.h>
#include <td/String.h>
#include <td/Types.h>

namespace sl
{
struct StatisticsRecord
{
    td::String name;
    double sumSqDev = 0;
    double mean = 0;
    double min = DBL_MAX;
    double max = -DBL_MAX;
    td::LUINT8 count = 0;

    void feed(double x)
    {
        if (min > x)
            min = x;
        if (x > max)
            max = x;
        ++count;
        double newMean = mean + (x - mean) / static_cast<double>(count);
        sumSqDev += (x - newMean) * (x - mean);
        mean = newMean;
    }

    // Sum of squared deviations over the count; 0 without values.
    double variance() const { return count == 0 ? 0.0 : sumSqDev / static_cast<double>(count); }
    // Sample deviation; the root of the sum for one value, 0 without values.
    double deviation() const;
};

template <typename T> class StatisticsStore
{
public:
    // n fresh records; the old ones are dropped.
    void reserve(td::UINT4 n)
    {
        _records.clean();
        _records.reserve(n);
    }

    td::UINT4 size() const { return static_cast<td::UINT4>(_records.size()); }
    StatisticsRecord& record(td::UINT4 i) { return _records[i]; }
    const StatisticsRecord& record(td::UINT4 i) const { return _records[i]; }

    // Position of the first statistic with that name (length and bytes); -1 when absent.
    td::INT4 find(const char* name, td::UINT4 length) const;
    td::INT4 find(const td::String& name) const { return find(name.c_str(), name.length()); }

private:
    cnt::SafeFullVector<StatisticsRecord> _records;
};

extern template class StatisticsStore<double>;
extern template class StatisticsStore<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using StatisticsStore = sl::StatisticsStore<double>;
}

namespace slCmplx
{
using StatisticsStore = sl::StatisticsStore<std::complex<double>>;
}
