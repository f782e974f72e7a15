// The model builder of one load: owns the state a build shares (the expression parser among
// it) and hands each entry of its callers to the text road, the XML road or the figures.
#pragma once

#include <complex>

#include <sc/ModelEnums.h>
#include <sc/Naming.h>
#include <sc/TokenizedModel.h>
#include <td/String.h>
#include <xml/Node.h>

#include "BuildResults.h"
#include "BuildState.h"
#include "SolverData.h"
#include "SolverStores.h"

namespace sl
{
template <typename T> class RPNDerivParser
{
public:
    using ValueArray = typename BuildState<T>::ValueArray;

    // Binds the solver's symbol store and symbol values; both outlive the builder.
    RPNDerivParser(SymbolMap& names, ValueArray& values) : _s(names, values) {}
    explicit RPNDerivParser(SolverStores<T>& stores) : RPNDerivParser(stores.symbols, stores.values) {}
    RPNDerivParser(const RPNDerivParser&) = delete;
    RPNDerivParser& operator=(const RPNDerivParser&) = delete;

    // Binds the build context: the parser's pools into it, and the builder works on it.
    void bindSolverData(SolverData<T>& data) { _s.bindSolverData(data); }
    // Binds a build: the context's stores emptied for the new build and bound to its
    // solver, whose logger the context takes; with a tokenized model the model line's
    // simplify and pivot attributes of the level, and the complex build without conjugate
    // partners.
    void bindSolverData(SolverData<T>& data, const sc::TokenizedModel* pModel, sc::ModelLevel level);
    // Complex build: whether variables get conjugate partners, in the parser and the stores.
    void setConjugatePartners(bool on) requires ValueTraits<T>::isComplex { _s.setConjugatePartners(on); }

    // The tokenized road: the entries of the solver kinds. False after a key.
    bool initNR(const sc::Naming& naming, const sc::TokenizedModel& model, SolverData<T>& data, sc::ModelLevel level);
    bool initWLS(const sc::Naming& naming, const sc::TokenizedModel& model, SolverData<T>& data, sc::ModelLevel level);
    bool initODE(const sc::Naming& naming, const sc::TokenizedModel& model, SolverData<T>& data, sc::ModelLevel level);
    bool initDAE(const sc::Naming& naming, const sc::TokenizedModel& model, SolverData<T>& data, sc::ModelLevel level);

    // The XML road: a document of each solver kind, and the element of a child model read
    // as an NR model. Failures are error-log entries.
    bool loadNRFromXML(const td::String& source, SolverData<T>& data);
    bool loadODEFromXML(const td::String& source, SolverData<T>& data);
    bool loadWLSFromXML(const td::String& source, SolverData<T>& data);
    bool loadDAEFromXML(const td::String& source, SolverData<T>& data);
    bool loadNRModel(const xml::Node& root, SolverData<T>& data);

    // The figure definitions of the main model's plot statements, for the figure evaluator
    // that the context carries.
    bool initFigure(const sc::TokenizedModel& model, SolverData<T>& data);

    // What the solver takes from the build: the context's results with the builder's
    // counts.
    BuildResults results() const;

private:
    // The parser, the build context and all a build shares between its passes.
    BuildState<T> _s;
};

extern template class RPNDerivParser<double>;
extern template class RPNDerivParser<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using RPNDerivParser = sl::RPNDerivParser<double>;
}

namespace slCmplx
{
using RPNDerivParser = sl::RPNDerivParser<std::complex<double>>;
}
