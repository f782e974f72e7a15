// Statistics: the names of the Stats group become the solver's statistics records, and
// a statement "s << e1 << e2 ..." becomes a feed that owns its expressions.
#include <sc/MessageKeys.h>

#include "RPNDerivParser.h"

namespace sl
{
namespace msg = sc::msg;

template <typename T>
bool RPNDerivParser<T>::buildStatsNames(const sc::Naming& naming, const sc::TokenizedModel& model, sc::ModelLevel level)
{
    const td::UINT4 n = model.getNumberOfExpressions(sc::Group::Stats, level);
    if (n == 0)
        return true;
    TD_ASSERT(this->_pSolverData);
    StatisticsStore<T>& store = this->_pSolverData->stores.statistics;
    store.reserve(n);
    const td::UINT4 nNames = naming.getNumberOfUserLabels(sc::UserLabel::Stat, level);
    for (td::UINT4 i = 0; i < n; ++i)
    {
        const td::PoolString* pName = i < nNames ? naming.getUserLabelName(sc::UserLabel::Stat, i, level) : nullptr;
        if (!pName || !setStatsName(store, i, td::String(pName->c_str(), pName->length())))
            return false;
    }
    return true;
}

template <typename T>
bool RPNDerivParser<T>::setStatsName(StatisticsStore<T>& store, td::UINT4 i, const td::String& name)
{
    for (td::UINT4 j = 0; j < i; ++j)
    {
        if (store.record(j).name == name)
            return false;
    }
    store.record(i).name = name;
    return true;
}

template <typename T> td::INT4 RPNDerivParser<T>::buildStatsAssignment(const Iterator& it, Evaluator<T>* out)
{
    auto fail = [this, &it](const char* key) {
        lineError(key, it);
        return td::INT4(-1);
    };
    const sc::_tl& l = it.line();
    if (l.nExpr < 3)
        return fail(msg::csStatAssNotOK);
    auto tokens = [&it](td::UINT4 i) -> const sc::_TokV& { return it.exprToken(i); };
    const StatisticsStore<T>& store = this->_pSolverData->stores.statistics;
    if (tokens(0).kind != sc::Token::StatName || tokens(0).code >= store.size())
        return fail(msg::csStatsToNotStatVar);

    // One expression after each "<<"; only an empty one between them is refused.
    td::UINT4 first = 1;
    while (first < l.nExpr && tokens(first).kind != sc::Token::ShiftLeft)
        ++first;
    td::UINT4 nFeeds = 0;
    for (td::UINT4 i = first; i < l.nExpr; ++i)
        nFeeds += tokens(i).kind == sc::Token::ShiftLeft;
    Evaluator<T>* pRun = this->_pSolverData->newEvaluators(nFeeds);
    td::UINT4 start = first + 1;
    for (td::UINT4 k = 0; k < nFeeds; ++k)
    {
        td::UINT4 end = start;
        while (end < l.nExpr && tokens(end).kind != sc::Token::ShiftLeft)
            ++end;
        if (end == start)
            return fail(msg::csEmptyStatAsssignment);
        beginUsedVars();
        this->clearTokens();
        td::BYTE kind = 0;
        const typename Base::RightSide rightSide(*this);
        if (!this->compileTokens(it, start, kind, end))
            return fail(msg::csStatsCannotCreateExpr);
        if (kind != 1)
            return fail(msg::csStatsWronExpType);
        Tree* pTree = newTree();
        if (!buildTree(*pTree, it))
            return fail(msg::csStatsCannotMakeExpressionTree);
        if (!pTree->createEvaluator(&pRun[k]))
            return fail(msg::csStatsCannotMakePostfix);
        start = end + 1;
    }
    const td::INT4 index = tokens(0).code;
    out->setStatisticsUpdate(index, pRun, nFeeds);
    return index;
}

template class RPNDerivParser<double>;
template class RPNDerivParser<std::complex<double>>;
} // namespace sl
