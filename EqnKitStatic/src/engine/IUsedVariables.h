// Where the expression parser reports the variables an expression reads: the model
// builder collects them for the derivatives of each equation; a parser without it collects none.
#pragma once

#include <td/Types.h>

namespace sl
{
class IUsedVariables
{
public:
    // True while the variables that an expression uses are being collected.
    virtual bool collectsUsedVars() = 0;
    // Records a variable the expression uses; false refuses the index.
    virtual bool markVariableUsed(td::UINT4 index) = 0;

protected:
    ~IUsedVariables() = default;
};
} // namespace sl
