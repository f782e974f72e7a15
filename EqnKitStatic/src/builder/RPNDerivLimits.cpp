// Limits: the groups of the Limits section, each a run of statements that the solver
// executes after a converged pass, and the signal words of their branches.
#include <cstring>

#include <sc/MessageKeys.h>

#include "RPNDerivParser.h"

namespace sl
{
namespace msg = sc::msg;

template <typename T> td::BYTE RPNDerivParser<T>::getSignalCode(const char* text)
{
    static const char* const s_words[] = {"TooLow", "MedLow", "Default", "MedHigh", "TooHigh", "Rounding"};
    constexpr td::BYTE cWords = sizeof(s_words) / sizeof(s_words[0]);
    if (!text)
        return cWords;
    for (td::BYTE code = 0; code < cWords; ++code)
    {
        if (std::strcmp(text, s_words[code]) == 0)
            return code;
    }
    return cWords;
}

template <typename T> bool RPNDerivParser<T>::buildLimits(const sc::TokenizedModel& model, sc::ModelLevel level)
{
    SolverData<T>& d = *this->_pSolverData;
    const td::UINT4 nGroups = model.getNumberOfExpressions(sc::Group::Limits, level);
    if (nGroups == 0)
        return true;
    TD_ASSERT(d.pEvaluatorPool);
    Groups& groups = d.stores.limitGroups;
    groups.clean();
    groups.reserve(nGroups);
    Iterator it = model.getGroup(sc::Group::Limits, level);
    ++it;
    for (td::UINT4 g = 0; !it.atEnd(); ++it, ++g)
    {
        if (it.line().nExpr == 0)
            return false;
        if (g >= nGroups)
            return lineError(msg::scErrorInLimits0, it);
        const int word = reservedWord(it);
        if (word < 0)
            return lineError(msg::scLinitsMustBeGrouped, it);
        // Any other reserved word is passed over; it still takes a group index.
        if (word != sc::idx(sc::ReservedID::Group))
            continue;
        const Place groupLine = placeOf(it);
        const td::UINT4 n = model.countChildren(it, d.namingIndex, sc::Group::Limits, sc::ExpressionType::Group);
        bool enabled = true;
        it.getAttrib(sc::AttribID::Enabled, enabled);
        Evaluator<T>* pFirst = allocLimitGroup(groups, *d.pEvaluatorPool, g, static_cast<td::INT4>(n), enabled);
        if (const td::PoolString* pName = it.findAttrib(sc::AttribID::Name))
            groups[g].name = td::String(pName->c_str(), pName->length());
        for (td::UINT4 i = 0; i < n; ++i)
        {
            ++it;
            if (it.atEnd())
                return lineError(msg::scLimitGroupEndMismatch, groupLine);
            if (buildStatements(it, model, &pFirst[i], sc::Group::Limits) == Failed)
                return lineError(msg::scErrorInLimits1, it);
        }
        ++it;
        if (reservedWord(it) != sc::idx(sc::ReservedID::End))
            return lineError(msg::scLimitGroupEndMismatch, it.atEnd() ? groupLine : placeOf(it));
    }
    return true;
}

template class RPNDerivParser<double>;
template class RPNDerivParser<std::complex<double>>;
} // namespace sl
