// The text forms of assignment targets that both roads read: an assignment text split in
// place, a symbol by name ("base." for the parent model's, ".real" and ".imag" parts in the
// complex build) and the target of a compiled record.
#pragma once

#include <complex>

#include <td/Types.h>

#include "ValueTraits.h"

namespace sl
{
template <typename T> class BuildState;
template <typename T> class Evaluator;

template <typename T> class AssignmentText
{
public:
    explicit AssignmentText(BuildState<T>& state) : _s(state) {}

    // A symbol by name; "base." names one of the parent model (isParent 1). -1 when absent.
    td::INT4 findSymbol(const char* name, td::BYTE& isParent) const;
    // The complex form: a ".real" or ".imag" suffix selects part 1 or 2 (0 the whole value).
    td::INT4 findSymbol(const char* name, td::BYTE& isParent, td::BYTE& part) const requires ValueTraits<T>::isComplex;
    // Splits an assignment text "name op= expression" or "name << expression" in place:
    // the trimmed name, or null after an error entry for item itemNumber.
    char* splitAssignment(td::UINT4 itemNumber, char* fx, td::UINT4& exprStart, char& op) const;
    // A target name by the build's form of findSymbol; -1 when it names no symbol.
    td::INT4 resolveTarget(const char* name, td::BYTE& isParent, td::BYTE& part) const;
    // A record's target: own variable, own parameter (index less the variables) or parent
    // symbol, by part in the complex build.
    void setRecordTarget(Evaluator<T>* pRecord, td::INT4 index, td::BYTE isParent, td::BYTE part, char op) const;

private:
    // An error entry of a failed split, with the item's location when it has one.
    void splitError(td::UINT4 itemNumber) const;

    BuildState<T>& _s;
};

extern template class AssignmentText<double>;
extern template class AssignmentText<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using AssignmentText = sl::AssignmentText<double>;
}

namespace slCmplx
{
using AssignmentText = sl::AssignmentText<std::complex<double>>;
}
