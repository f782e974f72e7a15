#include "EquationRows.h"

#include <algorithm>

#include "CU.h"

namespace sl
{
template <typename T> void EquationRows<T>::clear()
{
    _rows.reserve(0);
    _nEntries = _widest = _nTemps = 0;
    _complete = true;
    _draws = false;
    _batches.clear();
    _alone.clear();
    _aloneStarts.clear();
    _aloneCode.clear();
}

template <typename T> void EquationRows<T>::add(const Evaluator<T>* pProgram, td::UINT4 firstEntry, td::UINT4 nEntries,
                                                bool conditional, bool draws)
{
    _complete = _complete && (pProgram || conditional) && firstEntry == _nEntries;
    _draws = _draws || draws;
    _rows.push(Row{pProgram, pProgram ? pProgram->code() : nullptr, firstEntry, nEntries, conditional});
    const td::UINT4 nTemps = pProgram ? pProgram->getNumberOfTemps() : 0;
    _nTemps = nTemps > _nTemps ? nTemps : _nTemps;
    _nEntries = firstEntry + nEntries;
    _widest = nEntries > _widest ? nEntries : _widest;
    _batches.clear();
}

template <typename T>
bool EquationRows<T>::isUsable(const EvaluatorVect<T>& equations, const EvaluatorSparseMatrix<T>& jacobian) const
{
    return _complete && !_draws && _rows.size() == equations.size() && _nEntries == jacobian.size() &&
           equations.getSolver() && !equations.hasReplacementValues();
}

template <typename T>
void EquationRows<T>::evaluate(const EvaluatorVect<T>& equations, T* out, T scale, double* pMax, T* values) const
{
    TD_ASSERT(pMax);
    *pMax = 0.0;
    const td::UINT4 n = equations.size();
    if (n == 0)
        return;
    TD_ASSERT(n == _rows.size());
    CU<T> cu(equations.getSolver());
    cu.setSineCache(&_sines);
    _results.resize(_widest + 1);
    _temps.resize(_nTemps + 1);
    T* results = _results.data();
    T* temps = _temps.data();
    if (!_batches.isBuilt())
        buildBatches();
    _heads.resize(n);
    _batches.run(cu.getVariableValues(), cu.getParameterValues(), _sines, _heads.data(), values);
    // The rows outside the batches, in the order they were grouped in, into the same places,
    // each from its joined code: the row two ahead, and the code and first entry of the
    // next, are fetched while one runs.
    const std::size_t nAlone = _alone.size();
    for (std::size_t k = 0; k < nAlone; ++k)
    {
        if (k + 2 < nAlone)
            __builtin_prefetch(&_rows[_alone[k + 2]]);
        if (k + 1 < nAlone)
        {
            const Row& next = _rows[_alone[k + 1]];
            __builtin_prefetch(_aloneCode.data() + _aloneStarts[k + 1]);
            if (values)
                __builtin_prefetch(values + next.firstEntry, 1);
        }
        const td::UINT4 i = _alone[k];
        const Row& row = _rows[i];
        if (!row.pCode)
        {
            _heads[i] = equations[i]->evaluate(cu);
            continue;
        }
        cu.run(_aloneCode.data() + _aloneStarts[k], temps, results, !values);
        _heads[i] = results[0];
        if (values)
            std::copy(results + 1, results + 1 + row.nEntries, values + row.firstEntry);
    }
    const T* heads = _heads.data();
    double maxAbs = 0.0;
    for (td::UINT4 i = 0; i < n; ++i)
    {
        const T v = scale * heads[i];
        out[i] = v;
        // As the equation list's walk: a NaN value makes the norm NaN.
        const double a = normMagnitude(v);
        if (a > maxAbs || std::isnan(a))
            maxAbs = a;
    }
    *pMax = maxAbs;
}

// The rows with code by the first variable it reads, in their order otherwise (a counting
// sort, which reads each row's first variable twice instead of keeping it); rows whose code
// reads none come last.
template <typename T> std::vector<typename RowBatches<T>::Member> EquationRows<T>::membersInRunOrder() const
{
    const td::UINT4 n = static_cast<td::UINT4>(_rows.size());
    // starts[k + 1] counts the rows of first variable k, then becomes where those of k + 1
    // start; the rows that read none follow them all.
    std::vector<td::UINT4> starts;
    td::UINT4 nMembers = 0;
    for (td::UINT4 i = 0; i < n; ++i)
    {
        const CodeUnit* pCode = _rows[i].pCode;
        if (!pCode)
            continue;
        ++nMembers;
        const td::UINT4 key = CU<T>::firstVariable(pCode);
        if (key == CU<T>::cNoVariable)
            continue;
        if (starts.size() < static_cast<std::size_t>(key) + 2)
            starts.resize(static_cast<std::size_t>(key) + 2, 0);
        ++starts[key + 1];
    }
    for (std::size_t k = 1; k < starts.size(); ++k)
        starts[k] += starts[k - 1];
    td::UINT4 noVariableAt = starts.empty() ? 0 : starts.back();
    std::vector<typename RowBatches<T>::Member> members(nMembers);
    for (td::UINT4 i = 0; i < n; ++i)
    {
        const CodeUnit* pCode = _rows[i].pCode;
        if (!pCode)
            continue;
        const td::UINT4 key = CU<T>::firstVariable(pCode);
        members[key == CU<T>::cNoVariable ? noVariableAt++ : starts[key]++] = {i, pCode, _rows[i].firstEntry};
    }
    return members;
}

template <typename T> void EquationRows<T>::buildBatches() const
{
    std::vector<typename RowBatches<T>::Member> members = membersInRunOrder();
    _batches.build(members, static_cast<td::UINT4>(_rows.size()));
    // The rows no batch runs, in the order of the members and then those without code, and
    // where each one's code starts in their joined code, which is sized at once: the copy
    // adds no more than their code to the build's peak.
    _alone.clear();
    _aloneStarts.clear();
    _aloneCode.clear();
    std::size_t nUnits = 0;
    for (const typename RowBatches<T>::Member& m : members)
    {
        if (_batches.covers(m.row))
            continue;
        _alone.push_back(m.row);
        _aloneStarts.push_back(nUnits);
        nUnits += CU<T>::unitCount(m.pCode);
    }
    std::vector<typename RowBatches<T>::Member>().swap(members);
    for (td::UINT4 i = 0; i < _rows.size(); ++i)
    {
        if (_rows[i].pCode)
            continue;
        _alone.push_back(i);
        _aloneStarts.push_back(nUnits);
    }
    _aloneCode.reserve(nUnits);
    // The rows' code one after another in their order, each run of operations the stack
    // machine joins taking one dispatch.
    for (std::size_t k = 0; k < _alone.size(); ++k)
    {
        const CodeUnit* pCode = _rows[_alone[k]].pCode;
        if (!pCode)
            continue;
        const std::size_t end = k + 1 < _alone.size() ? _aloneStarts[k + 1] : nUnits;
        _aloneCode.insert(_aloneCode.end(), pCode, pCode + (end - _aloneStarts[k]));
        CU<T>::joinRuns(_aloneCode.data() + _aloneStarts[k]);
    }
}

template class EquationRows<double>;
template class EquationRows<std::complex<double>>;
} // namespace sl
