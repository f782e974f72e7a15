#include "TextPlace.h"

namespace sl
{
Place placeOf(const sc::TokenizedModel::iterator& it)
{
    td::UINT4 current = it.current;
    if (it.atEnd())
    {
        // Past the group's end: the group's last line.
        if (current == 0)
            return Place{0, 0};
        --current;
    }
    const sc::_tl& l = (*it.pLines)[current];
    return Place{l.line, l.nExpr > 0 ? (*it.pExprTokens)[l.firstExpr].column : 1u};
}

Place tokenPlace(const sc::TokenizedModel::iterator& it, td::UINT4 i)
{
    return Place{it.line().line, it.exprToken(i).column};
}

Place modelPlace(const sc::TokenizedModel& model, sc::ModelLevel level)
{
    return model.getGroupPlace(level == sc::ModelLevel::Main ? sc::Group::Model : sc::Group::SubModel, level);
}

Place groupPlace(const sc::TokenizedModel& model, sc::Group group, sc::ModelLevel level)
{
    const Place at = model.getGroupPlace(group, level);
    return at.isSet() ? at : modelPlace(model, level);
}

int reservedWord(const sc::TokenizedModel::iterator& it)
{
    if (it.atEnd())
        return -1;
    const sc::_tl& l = it.line();
    if (l.nExpr == 0)
        return -1;
    const sc::_TokV& t = (*it.pExprTokens)[l.firstExpr];
    return t.kind == sc::Token::Reserved ? static_cast<int>(t.code) : -1;
}
} // namespace sl
