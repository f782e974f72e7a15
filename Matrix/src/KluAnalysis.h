// KLU's symbolic analysis of one pattern, kept with the pattern and the settings it was
// made under, so that it serves exactly that pattern and nothing else.
#pragma once

#include <complex>
#include <memory>
#include <vector>

#include <klu.h>
#include <sparse/Analysis.h>
#include <td/Types.h>

namespace sparse
{
// Made only by analyse; one owner, ended by release.
template <typename T> class KluAnalysis final : public IAnalysis<T>
{
public:
    using Owner = std::unique_ptr<KluAnalysis, ReleaseAnalysis<T>>;

    // The analysis of the n x n pattern in compressed columns (colStart, rowIndex) under
    // the settings of common, whose status KLU sets; null when KLU refuses it.
    static Owner analyse(td::INT4 n, const td::INT4* colStart, const td::INT4* rowIndex, klu_common& common);
    KluAnalysis(const KluAnalysis&) = delete;
    KluAnalysis& operator=(const KluAnalysis&) = delete;

    // The pattern is exactly the one analysed (same size, same cells, rows ascending in
    // each column as compressed columns keep them) and common orders, and scales, as the
    // settings the analysis was made under.
    bool fits(td::INT4 n, const td::INT4* colStart, const td::INT4* rowIndex, const klu_common& common) const;
    klu_symbolic* symbolic() const { return _pSymbolic; }
    void release() override { delete this; }

private:
    KluAnalysis(klu_symbolic* pSymbolic, td::INT4 n, const td::INT4* colStart, const td::INT4* rowIndex,
                const klu_common& common);
    ~KluAnalysis();

    klu_symbolic* _pSymbolic;
    // The settings of the analysis, and the common that frees it.
    klu_common _common;
    std::vector<td::INT4> _colStart;
    std::vector<td::INT4> _rowIndex;
};

extern template class KluAnalysis<double>;
extern template class KluAnalysis<std::complex<double>>;
} // namespace sparse
