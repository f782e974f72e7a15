#include "SectionReader.h"

#include <sc/MessageKeys.h>

#include "LimitReader.h"
#include "StatementReader.h"

namespace sl
{
namespace msg = sc::msg;
using sc::Group;

template <typename T> bool SectionReader<T>::buildProcSections(const sc::Naming& naming,
                                                               const sc::TokenizedModel& model, sc::ModelLevel level)
{
    // A section that fails is told (after its statement's own key) at its group's line.
    static const char* const s_sectionKeys[] = {msg::scErrInReInit, msg::scErrInPreProc, msg::scErrInIterPostProc,
                                                msg::scErrInBasePostProc, msg::scErrInPostProc};
    static const Group s_sectionGroups[] = {Group::ReInit, Group::PreProc, Group::IterPostP, Group::BasePostP,
                                            Group::PostProc};
    for (td::BYTE index = 0; index < 5; ++index)
    {
        if (!buildSection(model, index, level))
            return _s.lineError(s_sectionKeys[index], groupPlace(model, s_sectionGroups[index], level));
    }
    if (!LimitReader<T>(_s, _used).buildLimits(model, level))
        return _s.lineError(msg::scErrInLimits, groupPlace(model, Group::Limits, level));
    if (!buildSection(model, 6, level))
        return _s.lineError(msg::scErrorInRepeat, groupPlace(model, Group::Repeats, level));
    if (level == sc::ModelLevel::Main)
        return createSubModels(naming, model);
    return true;
}

template <typename T>
bool SectionReader<T>::buildSection(const sc::TokenizedModel& model, td::BYTE index, sc::ModelLevel level)
{
    static const Group s_groups[] = {Group::ReInit,   Group::PreProc, Group::IterPostP, Group::BasePostP,
                                     Group::PostProc, Group::Limits,  Group::Repeats,   Group::NA};
    TD_ASSERT(index < sizeof(s_groups) / sizeof(s_groups[0]));
    const Group group = s_groups[index];
    if (group == Group::NA)
        return true;
    const td::UINT4 n = model.getNumberOfExpressions(group, level);
    if (n == 0)
        return true;
    SolverData<T>& d = _s.data();
    Iterator it = model.getGroup(group, level);
    if (group == Group::IterPostP || group == Group::BasePostP)
    {
        bool alwaysOn = false;
        it.getAttrib(sc::AttribID::AlwaysOn, alwaysOn);
        if (alwaysOn)
            (group == Group::IterPostP ? d.results.iterPostProcFlag : d.results.basePostProcFlag) = 1;
    }
    EvaluatorVect<T>* pList = d.sectionList(index);
    TD_ASSERT(pList);
    pList->reserve(n);
    const Place groupLine = placeOf(it);
    StatementReader<T> statements(_s, _used);
    ++it;
    for (td::UINT4 i = 0; i < n; ++i, ++it)
    {
        if (it.atEnd())
            return _s.lineError(msg::scPrematureEnd, groupLine);
        const sc::_tl& l = it.line();
        if (group == Group::Repeats && l.nExpr == 1 && reservedWord(it) == sc::idx(sc::ReservedID::Repeat))
        {
            pList->add(nullptr);
            continue;
        }
        Evaluator<T>* pRecord = d.newEvaluator();
        const StatementResult r = statements.buildStatements(it, model, pRecord, group);
        if (r == StatementResult::Failed)
            return false;
        pList->add(r == StatementResult::LoneRepeat ? nullptr : pRecord);
    }
    return true;
}

template <typename T> bool SectionReader<T>::createSubModels(const sc::Naming& naming, const sc::TokenizedModel& model)
{
    constexpr sc::ModelLevel sub = sc::ModelLevel::Sub;
    if (model.getNumberOfExpressions(Group::Vars, sub) == 0)
        return true;
    const Iterator line = model.getGroup(Group::SubModel, sub);
    if (line.atEnd())
        return false;
    const td::PoolString* pType = line.findAttrib(sc::AttribID::Type);
    const td::String type = pType ? td::String(pType->c_str(), pType->length()) : td::String();
    double eps = 1e-6;
    line.getAttrib(sc::AttribID::Eps, eps);

    // A time-stepping child finds its time and step among its own parameters.
    const bool dynamic = type == "ODE" || type == "DAE";
    const td::INT4 nSubParams = static_cast<td::INT4>(naming.getNumberOfParams(sub));
    const td::INT4 iT = model.getIndexOfTimeParam(sub), iDT = model.getIndexOfDeltaTimeParam(sub);
    // At the sub-model's type.
    const sc::_TokV* pTypeToken = line.attrib(sc::AttribID::Type);
    const Place typePlace = pTypeToken ? Place{line.line().line, pTypeToken->column} : placeOf(line);
    if (dynamic && (iT < 0 || iDT < 0 || iT >= nSubParams || iDT >= nSubParams))
        return _s.lineError(msg::scCannotCreateSolver, typePlace);

    SolverData<T>& d = _s.data();
    TD_ASSERT(d.pSolver);
    using Result = typename ISolverServices<T>::SubModelBuild;
    // The child's entries carry the line of its SubModel line.
    switch (d.pSolver->buildSubModel(type, eps, line.line().line, naming, model))
    {
    case Result::Built: return true;
    case Result::NoSolver: return _s.lineError(msg::scCannotCreateSolver, typePlace);
    default: return false;
    }
}

template class SectionReader<double>;
template class SectionReader<std::complex<double>>;
} // namespace sl
