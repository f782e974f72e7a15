// The model interface of the model library: one loaded model paired with its solver, for a
// host. Hosts call it through its table, so the order of the 20 operations is fixed.
#pragma once

#include <cnt/SafeFullVector.h>
#include <sc/SimHostAPI.h>
#include <sc/SolverTypes.h>
#include <td/String.h>
#include <td/Types.h>

namespace sc
{
class ILog;

// T is double or std::complex<double>; I is IStatic or IDynamic, the face that
// getSolverInterface gives. Made by a factory of sc/ModelFactories.h; the caller owns the
// model until release, which must be its last call. Out-vectors are made by the caller and
// resized by the model: a vector of the wanted size keeps its storage, any other gets
// fresh storage. Symbol indices count the variables first, then the parameters.
template <typename T, typename I> class SIMHOST_API IModel
{
public:
    enum Type : td::BYTE
    {
        StaticReal = 0,
        StaticComplex = 1,
        DynamicReal = 2
    };

    virtual void setSolutionOptions(const so& options) = 0;
    // Null makes the model and its solver silent from then on.
    virtual void setLogger(ILog* pLog) = 0;
    // Each load replaces the model held before, with a fresh solver of the same kind;
    // false (with the reasons logged) when the text cannot be read or built.
    virtual bool initFromFile(const td::String& fileName) = 0;
    virtual bool initFromString(const td::String& content) = 0;
    virtual td::UINT4 getNumberOfVariables() = 0;
    virtual td::UINT4 getNumberOfParameters() = 0;
    // Symbol index of a variable or parameter; -1 for an empty or unknown name.
    virtual int getVariableIndex(const td::String& varName) = 0;
    // Parameter index; negative when the name is not a parameter's.
    virtual int getParameterIndex(const td::String& paramName) = 0;
    virtual cnt::SafeFullVector<td::String> getVariableNames() = 0;
    virtual cnt::SafeFullVector<td::String> getParameterNames() = 0;
    // Ascending symbol indices of the output symbols.
    virtual cnt::SafeFullVector<td::UINT4> getOutputSymbolIndices() = 0;
    // Names of the output symbols given by their indices (one index per output symbol);
    // empty when the count differs or an index is out of range.
    virtual cnt::SafeFullVector<td::String> getOutputSymbolNames(const cnt::SafeFullVector<td::UINT4>& symbIndices) = 0;
    // One value per index; an index out of range gives 0 there and false.
    virtual bool getParameterValues(const cnt::SafeFullVector<td::UINT4>& indices, cnt::SafeFullVector<T>& out) = 0;
    virtual void getAllParameterValues(cnt::SafeFullVector<T>& out) = 0;
    virtual void getVariableValues(cnt::SafeFullVector<T>& out) = 0;
    // Values of the output symbols given by their indices; out is emptied on failure.
    virtual bool getOutputSymbolValues(const cnt::SafeFullVector<td::UINT4>& symbIndices,
                                       cnt::SafeFullVector<T>& out) = 0;
    // Takes the first nVars values; false, writing nothing, when there are fewer.
    virtual bool setVariableValues(const cnt::SafeFullVector<T>& values) = 0;
    // Parameter indices[i] takes values[i]; invalid indices are skipped and give false;
    // false, writing nothing, when there are fewer values than indices.
    virtual bool setParameterValues(const cnt::SafeFullVector<td::UINT4>& indices,
                                    const cnt::SafeFullVector<T>& values) = 0;
    virtual I* getSolverInterface() = 0;
    // Ends the solver and the model.
    virtual void release() = 0;

protected:
    ~IModel() = default;
};
} // namespace sc
