// The part of a solver that compiled expressions reach while they run: values, counts,
// parent model, logger, names, statistics, limit functions and random generators.
// Solvers implement it next to their public interface; tests use small doubles.
#pragma once

#include <complex>

#include <sc/ILog.h>
#include <td/String.h>
#include <td/Types.h>

#include "ValueTraits.h"

namespace sc
{
class Naming;
class TokenizedModel;
} // namespace sc

namespace xml
{
class Node;
}

namespace sl
{
template <typename T> class StatisticsStore;
template <typename T> class FnLimits;
class RndGenManager;

template <typename T> class ISolverServices
{
public:
    virtual td::UINT4 getNumberOfVariables() = 0;
    virtual td::UINT4 getNumberOfParameters() = 0;
    // Symbol values: variables first, then parameters, in one array.
    virtual T* getVariableValuesPtr() = 0;
    // The solver of the parent (main) model; null for a main model.
    virtual ISolverServices* getParentSolver() = 0;
    // Null when the solver has no logger.
    virtual sc::ILog* getLog() = 0;
    // Name of a symbol by its index in the value array (variables, parameters, the
    // symbols the build generated, the solver-status symbols); null for an empty name and
    // for an index the model does not hold.
    virtual const char* getSymbolName(td::INT4 index) = 0;
    // Index of a symbol by name (variables first, then parameters); -1 when absent.
    virtual td::INT4 getSymbolIndex(const char* name) = 0;
    // Applies '=', '+', '-', '*', '/' or '^' to a symbol; the part is always Whole in the
    // real build. Callers never pass a zero divisor.
    virtual void updateSymbolValue(const T* value, td::INT4 symbIndex, char op, ValuePart part) = 0;
    // Complex build: every variable 2k is followed by its conjugate partner 2k + 1.
    virtual bool hasConjugatePartners() = 0;
    virtual StatisticsStore<T>* getStatisticsStore() = 0;
    virtual FnLimits<T>* getFnLimits() = 0;
    virtual RndGenManager* getRndGenManager() = 0;
    // Length of the value array: variables, parameters and the solver-status symbols
    // that follow them.
    virtual td::UINT4 getNumberOfValues() { return getNumberOfVariables() + getNumberOfParameters() + cStatusSymbols; }

    enum class SubModelBuild : td::BYTE
    {
        Built,
        // The type word names no solver kind this solver can make.
        NoSolver,
        // The child was made and its build failed (it has logged why).
        Failed
    };
    // A main model's build makes its one child: a solver of the kind the type word names
    // ("NR", "NL", ...), with tolerance eps and the model line's line, built from level 1
    // of the same model. A solver that has no children answers NoSolver.
    virtual SubModelBuild buildSubModel(const td::String& typeWord, double eps, td::UINT4 line,
                                        const sc::Naming& naming, const sc::TokenizedModel& model)
    {
        (void)typeWord, (void)eps, (void)line, (void)naming, (void)model;
        return SubModelBuild::NoSolver;
    }

    // The children of an XML model's Init section: the list emptied for n of them.
    virtual void beginXmlChildren(td::UINT4 n) { (void)n; }
    // One child: a solver of the kind the type word names, with the given line, appended to
    // the list and built from its element as a Newton-Raphson model. Failed also for a
    // child of another kind.
    virtual SubModelBuild buildXmlChild(const td::String& typeWord, const td::String& domain, td::UINT4 line,
                                        const xml::Node& element)
    {
        (void)typeWord, (void)domain, (void)line, (void)element;
        return SubModelBuild::NoSolver;
    }
    // Variables that are states of a DAE model (their history parameters close the
    // parameter list); 0 for the other kinds.
    virtual td::UINT4 getNumberOfStateVariables() { return 0; }

    static constexpr td::UINT4 cStatusSymbols = 10;
    // Name of solver-status symbol k as a model reads it; null from cStatusSymbols on.
    static const char* statusSymbolName(td::UINT4 k)
    {
        static const char* const s_names[cStatusSymbols] = {"repeat#",  "succRep#",  "outIter#", "baseIter#",
                                                            "totIter#", "solState#", "reqEps#",  "obtEps#",
                                                            "startT#",  "endT#"};
        return k < cStatusSymbols ? s_names[k] : nullptr;
    }

protected:
    ~ISolverServices() = default;
};
} // namespace sl

namespace slDbl
{
using ISolverServices = sl::ISolverServices<double>;
}

namespace slCmplx
{
using ISolverServices = sl::ISolverServices<std::complex<double>>;
}
