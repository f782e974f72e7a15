#include "LimitReader.h"

#include <sc/MessageKeys.h>

#include "LimitGroups.h"
#include "StatementReader.h"

namespace sl
{
namespace msg = sc::msg;

template <typename T> bool LimitReader<T>::buildLimits(const sc::TokenizedModel& model, sc::ModelLevel level)
{
    SolverData<T>& d = _s.data();
    const td::UINT4 nGroups = model.getNumberOfExpressions(sc::Group::Limits, level);
    if (nGroups == 0)
        return true;
    TD_ASSERT(d.pEvaluatorPool);
    LimitGroups<T>& groups = d.stores.limitGroups;
    groups.clean();
    groups.reserve(nGroups);
    StatementReader<T> statements(_s, _used);
    Iterator it = model.getGroup(sc::Group::Limits, level);
    ++it;
    for (td::UINT4 g = 0; !it.atEnd(); ++it, ++g)
    {
        if (it.line().nExpr == 0)
            return false;
        if (g >= nGroups)
            return _s.lineError(msg::scErrorInLimits0, it);
        const int word = reservedWord(it);
        if (word < 0)
            return _s.lineError(msg::scLinitsMustBeGrouped, it);
        // Any other reserved word is passed over; it still takes a group index.
        if (word != sc::idx(sc::ReservedID::Group))
            continue;
        const Place groupLine = placeOf(it);
        const td::UINT4 n = model.countChildren(it, d.namingIndex, sc::Group::Limits, sc::ExpressionType::Group);
        bool enabled = true;
        it.getAttrib(sc::AttribID::Enabled, enabled);
        Evaluator<T>* pFirst = sl::allocLimitGroup(groups, *d.pEvaluatorPool, g, static_cast<td::INT4>(n), enabled);
        if (const td::PoolString* pName = it.findAttrib(sc::AttribID::Name))
            groups[g].name = td::String(pName->c_str(), pName->length());
        for (td::UINT4 i = 0; i < n; ++i)
        {
            ++it;
            if (it.atEnd())
                return _s.lineError(msg::scLimitGroupEndMismatch, groupLine);
            if (statements.buildStatements(it, model, &pFirst[i], sc::Group::Limits) == StatementResult::Failed)
                return _s.lineError(msg::scErrorInLimits1, it);
        }
        ++it;
        if (reservedWord(it) != sc::idx(sc::ReservedID::End))
            return _s.lineError(msg::scLimitGroupEndMismatch, it.atEnd() ? groupLine : placeOf(it));
    }
    return true;
}

template class LimitReader<double>;
template class LimitReader<std::complex<double>>;
} // namespace sl
