#include "KluAnalysis.h"

#include <algorithm>

#include "KluTraits.h"

namespace sparse
{
namespace
{
// The settings of KLU that shape a symbolic analysis (the pre-ordering to blocks, its work
// limit and the fill-reducing ordering), and the row scaling of the factorisations that
// follow it: a reused analysis serves only under the same.
bool sameSettings(const klu_common& a, const klu_common& b)
{
    return a.ordering == b.ordering && a.btf == b.btf && a.maxwork == b.maxwork && a.user_order == b.user_order &&
           a.user_data == b.user_data && a.scale == b.scale;
}

int* klu(const td::INT4* p) { return const_cast<int*>(p); }
} // namespace

template <typename T> typename KluAnalysis<T>::Owner KluAnalysis<T>::analyse(td::INT4 n, const td::INT4* colStart,
                                                                             const td::INT4* rowIndex,
                                                                             klu_common& common)
{
    klu_symbolic* pSymbolic = klu_analyze(n, klu(colStart), klu(rowIndex), &common);
    if (!pSymbolic)
        return nullptr;
    return Owner(new KluAnalysis(pSymbolic, n, colStart, rowIndex, common));
}

template <typename T> KluAnalysis<T>::KluAnalysis(klu_symbolic* pSymbolic, td::INT4 n, const td::INT4* colStart,
                                                  const td::INT4* rowIndex, const klu_common& common)
    : _pSymbolic(pSymbolic), _common(common), _colStart(colStart, colStart + n + 1),
      _rowIndex(rowIndex, rowIndex + colStart[n])
{
}

template <typename T> KluAnalysis<T>::~KluAnalysis() { KluTraits<T>::freeSymbolic(&_pSymbolic, &_common); }

template <typename T> bool KluAnalysis<T>::fits(td::INT4 n, const td::INT4* colStart, const td::INT4* rowIndex,
                                                const klu_common& common) const
{
    if (static_cast<std::size_t>(n) + 1 != _colStart.size() || !sameSettings(common, _common))
        return false;
    return std::equal(_colStart.begin(), _colStart.end(), colStart) &&
           std::equal(_rowIndex.begin(), _rowIndex.end(), rowIndex);
}

template class KluAnalysis<double>;
template class KluAnalysis<std::complex<double>>;
} // namespace sparse
