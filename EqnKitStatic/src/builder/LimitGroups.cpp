#include "LimitGroups.h"

#include <cstring>

namespace sl
{
td::BYTE getSignalCode(const char* text)
{
    static const char* const s_words[] = {"TooLow", "MedLow", "Default", "MedHigh", "TooHigh", "Rounding"};
    constexpr td::BYTE cWords = sizeof(s_words) / sizeof(s_words[0]);
    static_assert(cWords == cNoSignal);
    if (!text)
        return cWords;
    for (td::BYTE code = 0; code < cWords; ++code)
    {
        if (std::strcmp(text, s_words[code]) == 0)
            return code;
    }
    return cWords;
}

template <typename T> Evaluator<T>* allocLimitGroup(LimitGroups<T>& groups, cnt::List<Evaluator<T>>& pool,
                                                    td::UINT4 groupIndex, td::INT4 n, bool enabled)
{
    Evaluator<T>* pFirst = n > 0 ? pool.alloc(static_cast<td::UINT4>(n)) : nullptr;
    LimitGroup<T>& group = groups[groupIndex];
    group.pFirst = pFirst;
    group.n = n > 0 ? static_cast<td::UINT4>(n) : 0;
    group.enabled = enabled ? 1 : 0;
    return pFirst;
}

template Evaluator<double>* allocLimitGroup(LimitGroups<double>&, cnt::List<Evaluator<double>>&, td::UINT4, td::INT4,
                                            bool);
template Evaluator<std::complex<double>>* allocLimitGroup(LimitGroups<std::complex<double>>&,
                                                          cnt::List<Evaluator<std::complex<double>>>&, td::UINT4,
                                                          td::INT4, bool);
} // namespace sl
