// The XML road: the entries of the solver kinds, each parsing its document (a file or the
// text itself), checking the root and reading its sections in the order of the kind.
#pragma once

#include <complex>

#include <td/String.h>
#include <td/Types.h>
#include <xml/Node.h>

#include "BuildState.h"
#include "UsedVariables.h"

namespace sl
{
template <typename T> class XmlBuilder
{
public:
    using Tree = ExpressionTree<T>;

    // Owns the used-variable sets of the entry, which its passes collect into.
    explicit XmlBuilder(BuildState<T>& state) : _s(state), _used(state) {}
    XmlBuilder(const XmlBuilder&) = delete;
    XmlBuilder& operator=(const XmlBuilder&) = delete;

    BuildState<T>& state() { return _s; }
    UsedVariables<T>& usedVariables() { return _used; }

    // The entries of the solver kinds: the document (a file path or the text itself, by
    // the context's input kind) parsed and read by the reader of the kind.
    bool loadNRFromXML(const td::String& source, SolverData<T>& data);
    bool loadODEFromXML(const td::String& source, SolverData<T>& data);
    bool loadWLSFromXML(const td::String& source, SolverData<T>& data);
    bool loadDAEFromXML(const td::String& source, SolverData<T>& data);
    // The entry of a child model: its element read as an NR model.
    bool loadNRModel(const xml::Node& root, SolverData<T>& data);
    // The used-variable sets of an XML build; its keys are silenced.
    void bindXmlEntry(SolverData<T>& data);
    // The root's type (exactly tag), domain, desc and eps.
    bool checkModelHeader(const xml::Node& root, const char* tag);
    // Every section of the root is one the kind reads; false after an entry naming the
    // first that is not.
    bool checkXmlSections(const xml::Node& root, ModelKind kind);
    // The readers of the kinds; loadNRModel also reads an Init child's element.
    bool loadNRModel(const xml::Node& root);
    bool loadODEModel(const xml::Node& root);
    bool loadWLSModel(const xml::Node& root);
    // The PreProc, Limits and PostProc sections and the child models of Init.
    bool loadProcSections(const xml::Node& root);

private:
    // The w attribute: a number as written; a symbol's name, the magnitude of its start
    // value; none, or any other text, 1.
    double measurementWeight(const xml::Node& eq) const;

    BuildState<T>& _s;
    UsedVariables<T> _used;
};

extern template class XmlBuilder<double>;
extern template class XmlBuilder<std::complex<double>>;
} // namespace sl

namespace slDbl
{
using XmlBuilder = sl::XmlBuilder<double>;
}

namespace slCmplx
{
using XmlBuilder = sl::XmlBuilder<std::complex<double>>;
}
