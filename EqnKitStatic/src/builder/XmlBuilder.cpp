#include "XmlBuilder.h"

#include <cmath>
#include <vector>

#include <dense/DiagMatrix.h>
#include <mu/ParserException.h>
#include <xml/DOMParser.h>

#include "JacobianBuilder.h"
#include "XmlAssignmentReader.h"
#include "XmlChildModels.h"
#include "XmlDAEReader.h"
#include "XmlDeclarationReader.h"
#include "XmlEquationReader.h"
#include "XmlGeneratorReader.h"
#include "XmlLimitReader.h"
#include "XmlNodes.h"
#include "XmlODEReader.h"
#include "XmlStatisticsReader.h"
#include "XmlTexts.h"

namespace sl
{
using namespace xmlnodes;

namespace
{

// How a kind reports a file its parser refuses.
enum class FileFailure : td::BYTE
{
    WithParserText,
    Exclaimed,
    XmlFile
};

// The parser's reports go to the solver's logger, when it has one, and never to the
// application's reporter: a solver's document problems are its own.
class SolverReporter final : public mu::IErrorReporter
{
public:
    explicit SolverReporter(sc::ILog* pLog) : _pLog(pLog) {}
    void report(int, const td::String&, const td::String& message) override
    {
        if (_pLog)
            _pLog->showText(message, sc::ILog::Error);
    }

private:
    sc::ILog* _pLog;
};

// A failed parse as entries: the failure, then the parser's last error, both at the
// document's line of the error, counted from 1, where it has one (a file that could not be
// opened has none).
template <typename T> void addParserError(SolverData<T>& d, const char* failure, const mu::ParserException& e)
{
    const td::UINT4 saved = d.xmlLine;
    if (e.getLine() >= 0)
        d.xmlLine = static_cast<td::UINT4>(e.getLine()) + 1;
    d.addError(failure);
    if (e.getLine() >= 0)
        d.addError("Line no=@: @", e.getLine() + 1, e.getMessage());
    else
        d.addError("@", e.getMessage());
    d.xmlLine = saved;
}

// Reads the document's root: what the readers tell of no element of their own stands at
// the Model element's line.
template <typename T, typename Read> bool readRoot(SolverData<T>& d, const xml::Node& root, Read read)
{
    const ElementLine line(d.xmlLine, root);
    return read(root);
}

// Parses source by the context's input kind and hands the document's root to read; the
// document lives for the call.
template <typename T, typename Read>
bool readDocument(SolverData<T>& d, const td::String& source, FileFailure failure, Read read)
{
    SolverReporter reporter(d.pSolver ? d.pSolver->getLog() : nullptr);
    if (d.settings().inputKind == 1)
    {
        SAXParser parser;
        if (!parser.parseMemory(source.c_str(), &reporter, true))
        {
            addParserError(d, "Cannot parse xml input data", parser.getLastError());
            return false;
        }
        return readRoot(d, parser.getDocument().getFirstChild(), read);
    }
    if (d.settings().inputKind != 0)
        return false;
    XmlFileParser parser;
    if (parser.parseFile(source, &reporter))
        return readRoot(d, parser.getDocument().getFirstChild(), read);
    const char* text = "Cannot parse the file";
    if (failure == FileFailure::Exclaimed)
        text = "Cannot parse the file!";
    else if (failure == FileFailure::XmlFile)
        text = "Cannot parse the xml file";
    addParserError(d, text, parser.getLastError());
    return false;
}

// The sections whose equations, limits or child models a kind would lose unread, and the
// kinds of document that read each (one bit a kind, in the order NR, WLS, ODE, DAE). Every
// kind reads the declarations and the processing sections; Stats and RndGens only name
// things, whose use fails where a kind has not read them.
struct SectionKinds
{
    const char* name;
    td::BYTE kinds;
};
constexpr td::BYTE cNR = 1, cWLS = 2, cODE = 4, cDAE = 8;
const SectionKinds cSections[] = {{"NLEqs", cNR | cDAE}, {"ODEqs", cODE | cDAE}, {"TFs", cDAE},
                                  {"MeasEqs", cWLS},     {"ECs", cWLS},          {"Limits", cNR | cWLS | cDAE},
                                  {"Init", cNR | cDAE}};
const char* const cKindTags[] = {"NR", "WLS", "ODE", "DAE"};

} // namespace

template <typename T> void XmlBuilder<T>::bindXmlEntry(SolverData<T>& data)
{
    TD_ASSERT(&data == &_s.data());
    _used.bind(data);
    data.pTokenizedModel = nullptr;
    // The XML road writes entries of the error log only.
    data.keysSilenced = 1;
}

template <typename T> bool XmlBuilder<T>::loadNRFromXML(const td::String& source, SolverData<T>& data)
{
    bindXmlEntry(data);
    return readDocument(data, source, FileFailure::WithParserText,
                        [this](const xml::Node& root) { return checkModelHeader(root, "NR") && loadNRModel(root); });
}

template <typename T> bool XmlBuilder<T>::loadODEFromXML(const td::String& source, SolverData<T>& data)
{
    bindXmlEntry(data);
    return readDocument(data, source, FileFailure::Exclaimed,
                        [this](const xml::Node& root) { return loadODEModel(root); });
}

template <typename T> bool XmlBuilder<T>::loadWLSFromXML(const td::String& source, SolverData<T>& data)
{
    bindXmlEntry(data);
    return readDocument(data, source, FileFailure::XmlFile,
                        [this](const xml::Node& root) { return loadWLSModel(root); });
}

template <typename T> bool XmlBuilder<T>::loadDAEFromXML(const td::String& source, SolverData<T>& data)
{
    bindXmlEntry(data);
    return readDocument(data, source, FileFailure::Exclaimed,
                        [this](const xml::Node& root) { return XmlDAEReader<T>(*this).loadDAEModel(root); });
}

template <typename T> bool XmlBuilder<T>::loadNRModel(const xml::Node& root, SolverData<T>& data)
{
    bindXmlEntry(data);
    return loadNRModel(root);
}

template <typename T> bool XmlBuilder<T>::checkModelHeader(const xml::Node& root, const char* tag)
{
    SolverData<T>& d = _s.data();
    const char* type = attrib(root, "type");
    if (root.getAttribCount() == 0 || !type)
        return _s.xmlError("Undefined model type!");
    if (std::strcmp(type, tag) != 0)
        return _s.xmlError("Model type is not @", tag);
    const char* domain = attrib(root, "domain");
    if constexpr (ValueTraits<T>::isComplex)
    {
        if (!domain)
            return _s.xmlError("Numeric domain is not specified!");
        if (std::strcmp(domain, "cmplx") != 0)
            return _s.xmlError("Numeric type is not 'cmplx'");
    }
    else if (domain && std::strcmp(domain, "real") != 0)
        return _s.xmlError("Numeric type is not 'real'");
    if (const char* desc = attrib(root, "desc"))
    {
        d.stores.modelDescription = td::String(desc);
    }
    if (const char* eps = attrib(root, "eps"); eps && *eps)
    {
        double value = 0;
        if (!parseWholeNumber(value, eps) || !(value > 0) || !std::isfinite(value))
            return _s.xmlError("Model attribute eps is not a positive number: @", eps);
        d.results.eps = value;
    }
    return true;
}

template <typename T> bool XmlBuilder<T>::checkXmlSections(const xml::Node& root, ModelKind kind)
{
    const td::BYTE k = static_cast<td::BYTE>(kind);
    for (const SectionKinds& section : cSections)
    {
        if ((section.kinds & (1u << k)) == 0 && !child(root, section.name).isEmpty())
            return _s.xmlError("Section @ is not read in a model of type @!", section.name, cKindTags[k]);
    }
    return true;
}

template <typename T> bool XmlBuilder<T>::loadNRModel(const xml::Node& root)
{
    SolverData<T>& d = _s.data();
    if (!checkXmlSections(root, ModelKind::NL) ||
        !XmlDeclarationReader<T>(_s, _used).loadVarsAndParams(child(root, "Vars"), child(root, "Params")))
        return false;
    const xml::Node nlEqs = child(root, "NLEqs");
    if (nlEqs.isEmpty())
        return _s.xmlError("Missing NLEqs node!");
    xml::Node eq = child(nlEqs, "Eq");
    if (eq.isEmpty())
        return _s.xmlError("Missing Eq node in NLEqs!");
    const td::UINT4 nEq = count(eq);
    if (d.settings().skipCountChecks == 0 && nEq != _s.getNumVariables())
    {
        d.addError("Detected @ variables and @ equations!", _s.getNumVariables(), nEq);
        return false;
    }
    d.results.nEquations = nEq;
    d.stores.equations.reserve(nEq);
    d.stores.jacobian.reserve(cEntriesPerEquation * nEq);
    d.currentSection = static_cast<td::BYTE>(ErrorSection::NLEqs);
    td::UINT4 nonZeros = 0;
    if (!XmlEquationReader<T>(_s, _used).loadEquations(eq, nEq, 0, nonZeros, cNLEquation))
        return false;
    d.currentSection = 0;
    return loadProcSections(root);
}

template <typename T> bool XmlBuilder<T>::loadProcSections(const xml::Node& root)
{
    SolverData<T>& d = _s.data();
    XmlAssignmentReader<T> assignments(_s, _used);
    if (!assignments.loadPreProc(root) || !XmlLimitReader<T>(_s, _used).loadLimits(root) ||
        !assignments.loadPostProc(root))
        return false;
    d.currentSection = static_cast<td::BYTE>(ErrorSection::Init);
    const bool ok = XmlChildModels<T>(_s).loadInitModels(root);
    d.currentSection = 0;
    return ok;
}

template <typename T> bool XmlBuilder<T>::loadWLSModel(const xml::Node& root)
{
    SolverData<T>& d = _s.data();
    if (!checkModelHeader(root, "WLS") || !checkXmlSections(root, ModelKind::WLS) ||
        !XmlStatisticsReader<T>(_s).loadStats(root) || !XmlGeneratorReader<T>(_s).loadRndGens(root) ||
        !XmlDeclarationReader<T>(_s, _used).loadVarsAndParams(child(root, "Vars"), child(root, "Params")))
        return false;
    const xml::Node meas = child(root, "MeasEqs");
    if (meas.isEmpty())
        return _s.xmlError("MeasEqs node is not specified! Missing MeasEqs tag!");
    xml::Node eq = child(meas, "Eq");
    const td::UINT4 nMeas = count(eq);
    if (nMeas == 0)
        return _s.xmlError("No measurement equations");
    if (nMeas < _s.getNumVariables())
        return _s.xmlError("Number of equations < number of variables");
    d.results.nEquations = nMeas;
    xml::Node ec = child(child(root, "ECs"), "Eq");
    const td::UINT4 nEC = count(ec);
    if (nEC > 0)
    {
        d.stores.constraints.reserve(nEC);
        d.stores.constraintJacobian.reserve(cEntriesPerEquation * nEC);
    }
    if (d.pWeights)
        d.pWeights->reserve(nMeas);
    d.stores.equations.reserve(nMeas + nEC);
    d.stores.jacobian.reserve(cEntriesPerEquation * (nMeas + nEC));

    d.currentSection = static_cast<td::BYTE>(ErrorSection::MeasEqs);
    td::UINT4 nonZeros = 0;
    XmlEquationReader<T> equations(_s, _used);
    for (td::UINT4 i = 0; i < nMeas; ++i, eq.nextSameName())
    {
        if (d.pWeights)
            d.pWeights->getManipulator()[i] = measurementWeight(eq);
        if (!equations.loadEquation(eq, i, nonZeros, cMeasurement))
        {
            d.itemLocationText(i, cCurrent);
            d.currentSection = 0;
            return false;
        }
    }
    d.currentSection = static_cast<td::BYTE>(ErrorSection::ECs);
    nonZeros = 0;
    if (!equations.loadEquations(ec, nEC, 0, nonZeros, cConstraint))
        return false;
    d.currentSection = 0;
    XmlAssignmentReader<T> assignments(_s, _used);
    return assignments.loadPreProc(root) && XmlLimitReader<T>(_s, _used).loadLimits(root) &&
           assignments.loadPostProc(root);
}

// The w attribute: a number as written; a symbol's name, the magnitude of its start
// value; none, or any other text, 1.
template <typename T> double XmlBuilder<T>::measurementWeight(const xml::Node& eq) const
{
    const char* w = attrib(eq, "w");
    double value = 1.0;
    if (!w || parseWholeNumber(value, w))
        return value;
    const td::INT4 symbol = _s.parser.getSymbolIndex(skipBlanks(w));
    if (symbol < 0 || static_cast<td::UINT4>(symbol) >= _s.symbolCount())
        return 1.0;
    return std::abs(_s.values()[static_cast<td::UINT4>(symbol)]);
}

template <typename T> bool XmlBuilder<T>::loadODEModel(const xml::Node& root)
{
    SolverData<T>& d = _s.data();
    if (!checkModelHeader(root, "ODE") || !checkXmlSections(root, ModelKind::ODE))
        return false;
    d.dynamics = 1;
    xml::Node eq = child(child(root, "ODEqs"), "Eq");
    const td::UINT4 nEq = count(eq);
    if (!XmlDeclarationReader<T>(_s, _used).loadVarsAndParams(child(root, "Vars"), child(root, "Params")))
        return false;
    TD_ASSERT(d.results.indexOfTParam >= 0 && d.results.indexOfDeltaTParam >= 0);
    if (nEq != _s.getNumVariables())
        return _s.xmlError("Number of unknows and number of equations do not match");
    if (d.pODEList)
        d.pODEList->reserve(_s.getNumVariables());
    d.results.nEquations = nEq;
    d.stores.equations.reserve(nEq);
    d.currentSection = static_cast<td::BYTE>(ErrorSection::ODEqs);
    // Each state has one ODE: a second one would leave another state without any.
    std::vector<bool> defined(_s.getNumVariables(), false);
    XmlODEReader<T> odes(_s, _used);
    Tree tree;
    bool ok = true;
    for (td::UINT4 i = 0; ok && i < nEq; ++i, eq.nextSameName())
    {
        const ElementLine line(d.xmlLine, eq);
        tree.reset(d.treeOption != 0);
        typename Tree::Node* pIntegral = nullptr;
        const td::INT4 state = odes.checkODETerm(eq, tree, pIntegral, i, true);
        if (state >= 0 && defined[static_cast<td::UINT4>(state)])
            ok = _s.xmlError("State variable already used!");
        else if (state >= 0)
        {
            defined[static_cast<td::UINT4>(state)] = true;
            Evaluator<T>* pEquation = d.newEvaluator();
            d.clearHeldKey();
            ok = tree.createEvaluator(pEquation) ||
                 _s.xmlExpressionError("Cannot make expression for eq: @", attrib(eq, "fx"));
            if (ok)
                d.stores.equations.add(pEquation);
        }
        else
            ok = false;
        tree.reset(d.treeOption != 0);
        _s.releaseTrees();
        if (!ok)
            d.itemLocationText(i, cCurrent);
    }
    d.currentSection = 0;
    XmlAssignmentReader<T> assignments(_s, _used);
    return ok && assignments.loadPreProc(root) && assignments.loadPostProc(root);
}

template class XmlBuilder<double>;
template class XmlBuilder<std::complex<double>>;
} // namespace sl
