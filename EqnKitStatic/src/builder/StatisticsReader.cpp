#include "StatisticsReader.h"

#include <sc/MessageKeys.h>

#include "StatisticsNames.h"

namespace sl
{
namespace msg = sc::msg;

template <typename T> bool StatisticsReader<T>::buildStatsNames(const sc::Naming& naming,
                                                                const sc::TokenizedModel& model, sc::ModelLevel level)
{
    const td::UINT4 n = model.getNumberOfExpressions(sc::Group::Stats, level);
    if (n == 0)
        return true;
    StatisticsStore<T>& store = _s.data().stores.statistics;
    store.reserve(n);
    const td::UINT4 nNames = naming.getNumberOfUserLabels(sc::UserLabel::Stat, level);
    for (td::UINT4 i = 0; i < n; ++i)
    {
        const td::PoolString* pName = i < nNames ? naming.getUserLabelName(sc::UserLabel::Stat, i, level) : nullptr;
        if (!pName || !sl::setStatsName(store, i, td::String(pName->c_str(), pName->length())))
            return false;
    }
    return true;
}

template <typename T> td::INT4 StatisticsReader<T>::buildStatsAssignment(const Iterator& it, Evaluator<T>* out)
{
    auto fail = [this, &it](const char* key) {
        _s.lineError(key, it);
        return td::INT4(-1);
    };
    const sc::_tl& l = it.line();
    if (l.nExpr < 3)
        return fail(msg::csStatAssNotOK);
    auto tokens = [&it](td::UINT4 i) -> const sc::_TokV& { return it.exprToken(i); };
    const StatisticsStore<T>& store = _s.data().stores.statistics;
    if (tokens(0).kind != sc::Token::StatName || tokens(0).code >= store.size())
        return fail(msg::csStatsToNotStatVar);

    // One expression after each "<<"; only an empty one between them is refused.
    td::UINT4 first = 1;
    while (first < l.nExpr && tokens(first).kind != sc::Token::ShiftLeft)
        ++first;
    td::UINT4 nFeeds = 0;
    for (td::UINT4 i = first; i < l.nExpr; ++i)
        nFeeds += tokens(i).kind == sc::Token::ShiftLeft;
    Evaluator<T>* pRun = _s.data().newEvaluators(nFeeds);
    td::UINT4 start = first + 1;
    for (td::UINT4 k = 0; k < nFeeds; ++k)
    {
        td::UINT4 end = start;
        while (end < l.nExpr && tokens(end).kind != sc::Token::ShiftLeft)
            ++end;
        if (end == start)
            return fail(msg::csEmptyStatAsssignment);
        _used.begin();
        _s.parser.clearTokens();
        td::BYTE kind = 0;
        const typename RPNParser<T>::NoAssignment rightSide(_s.parser);
        if (!_s.parser.compileTokens(it, start, kind, end))
            return fail(msg::csStatsCannotCreateExpr);
        if (kind != 1)
            return fail(msg::csStatsWronExpType);
        Tree* pTree = _s.newTree();
        if (!_s.buildTree(*pTree, it))
            return fail(msg::csStatsCannotMakeExpressionTree);
        if (!pTree->createEvaluator(&pRun[k]))
            return fail(msg::csStatsCannotMakePostfix);
        start = end + 1;
    }
    const td::INT4 index = tokens(0).code;
    out->setStatisticsUpdate(index, pRun, nFeeds);
    return index;
}

template class StatisticsReader<double>;
template class StatisticsReader<std::complex<double>>;
} // namespace sl
