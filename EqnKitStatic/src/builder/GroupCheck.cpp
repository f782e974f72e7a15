#include "GroupCheck.h"

#include <sc/MessageKeys.h>

namespace sl
{
namespace msg = sc::msg;
using sc::Group;

namespace
{
constexpr td::UINT4 bit(Group g) { return 1u << sc::idx(g); }

// The groups that hold a kind's equations; every other group (declarations, statements,
// limits, repeats, plots) belongs to each kind.
constexpr Group cEquationGroups[] = {Group::NLEs, Group::WLSEs, Group::ECs, Group::ODEs, Group::PDEs, Group::TFs};
const char* const cEquationGroupNames[] = {"NLEs", "WLSEs", "ECs", "ODEs", "PDEs", "TFs"};

// By model kind (the model line's type: NL, WLS, ODE, DAE, then a model without a type):
// the equation groups it holds. Only the dynamic types get the time and step parameters,
// so a model without a type is a static one.
constexpr td::UINT4 cStaticGroups = bit(Group::NLEs) | bit(Group::WLSEs) | bit(Group::ECs);
constexpr td::UINT4 cDynamicGroups = bit(Group::ODEs) | bit(Group::TFs);
constexpr td::UINT4 cKindGroups[] = {bit(Group::NLEs), bit(Group::WLSEs) | bit(Group::ECs), bit(Group::ODEs),
                                     bit(Group::ODEs) | bit(Group::TFs) | bit(Group::NLEs), cStaticGroups};
const char* const cTypeNames[] = {"NL", "WLS", "ODE", "DAE", "(none)"};
const char* const cSolverNames[] = {"NR", "WLS", "ODE", "DAE"};
constexpr td::BYTE cNoType = 4;
} // namespace

template <typename T>
bool GroupCheck<T>::checkGroups(const sc::TokenizedModel& model, sc::ModelLevel level, ModelKind solverKind)
{
    const td::BYTE solver = static_cast<td::BYTE>(solverKind);
    TD_ASSERT(solver < cNoType);
    const td::BYTE type = model.getModelInfo(level).type <= cNoType ? model.getModelInfo(level).type : cNoType;
    td::UINT4 typeGroups = cKindGroups[type];
    // A model without its time parameters cannot step, whatever its line says.
    if (model.getIndexOfTimeParam(level) < 0 || model.getIndexOfDeltaTimeParam(level) < 0)
        typeGroups &= ~cDynamicGroups;

    // The first group in the text that does not fit.
    std::size_t worst = sizeof(cEquationGroups) / sizeof(cEquationGroups[0]);
    td::UINT4 worstLine = 0, worstColumn = 0;
    for (std::size_t i = 0; i < sizeof(cEquationGroups) / sizeof(cEquationGroups[0]); ++i)
    {
        const td::UINT4 g = bit(cEquationGroups[i]);
        if ((typeGroups & g) && (cKindGroups[solver] & g))
            continue;
        const Iterator it = model.getGroup(cEquationGroups[i], level);
        if (it.atEnd())
            continue;
        const sc::_tl& header = it.line();
        if (worstLine != 0 && header.line >= worstLine)
            continue;
        worst = i;
        worstLine = header.line;
        worstColumn = header.nExpr > 0 ? it.exprToken(0).column : 1;
    }
    if (worstLine == 0)
        return true;

    SolverData<T>& d = _s.data();
    const td::BYTE section = d.currentSection;
    d.currentSection = static_cast<td::BYTE>(ErrorSection::ReadModel);
    const bool typeFits = (typeGroups & bit(cEquationGroups[worst])) != 0;
    if (typeFits)
        d.addError("Group @ (line @, column @) is not read by the @ solver", cEquationGroupNames[worst], worstLine,
                   worstColumn, cSolverNames[solver]);
    else
        d.addError("Group @ (line @, column @) does not fit the model's type @", cEquationGroupNames[worst], worstLine,
                   worstColumn, cTypeNames[type]);
    d.currentSection = section;
    return _s.lineError(typeFits ? msg::scGroupNotForSolver : msg::scGroupNotInModelType,
                        Place{worstLine, worstColumn});
}

template class GroupCheck<double>;
template class GroupCheck<std::complex<double>>;
} // namespace sl
