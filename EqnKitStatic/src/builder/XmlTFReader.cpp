#include "XmlTFReader.h"

#include <cstring>

#include <sc/MessageKeys.h>

#include "DAERows.h"
#include "TFStateSpace.h"
#include "XmlDAESymbols.h"
#include "XmlNames.h"
#include "XmlNodes.h"

namespace sl
{
using namespace xmlnodes;

namespace
{
// A copy of [b, e) without the blanks at both ends.
td::String trimmed(const char* b, const char* e)
{
    b = skipBlanks(b);
    while (e > b && isBlank(e[-1]))
        --e;
    return b < e ? td::String(b, static_cast<std::size_t>(e - b)) : td::String();
}
} // namespace

template <typename T> bool XmlTFReader<T>::loadTF(const xml::Node& tfs)
{
    SolverData<T>& d = _s.data();
    d.currentSection = static_cast<td::BYTE>(ErrorSection::TFs);
    _s.parser.addShortName("s", TokenCodes::LAPLACE);
    td::UINT4 i = 0;
    // An entry (none when the step wrote its own), then the function's location.
    auto fail = [&](const char* message, const auto&... args) {
        if (message)
            d.addError(message, args...);
        d.itemLocationText(i, cCurrent);
        d.currentSection = 0;
        _s.parser.clearShortNames();
        return false;
    };
    for (xml::Node eq = child(tfs, "Eq"); !eq.isEmpty(); eq.nextSameName(), ++i)
    {
        const ElementLine line(d.xmlLine, eq);
        const char* fx = attrib(eq, "fx");
        if (!fx)
            return fail("Missing fx in TF Equation!");
        const char* e = std::strchr(fx, '=');
        if (!e)
            return fail("Missing equaity sign '=' in fx part of TF Equation! TF must be in form y/=f(s)");
        const char* slash = std::strchr(fx, '/');
        if (!slash)
            return fail("Missing division sign '/' in fx part of TF Equation! TF must be in form y/=f(s)");
        if (slash > e)
            return fail("Missing division sign '/' in left part of TF Equation! TF must be in form y/=f(s)");
        if (const td::UINT4 second = findAssignment(fx, static_cast<td::UINT4>(e - fx) + 1))
            return fail(sc::msg::txtSecondAssignment, second, fx);
        DAERecords::XmlTFText& text = _records.xmlTFs[i];
        text.output = trimmed(fx, slash);
        text.input = trimmed(slash + 1, e);
        text.fn = trimmed(e + 1, e + std::strlen(e));
        // So would a second function of one output.
        for (td::UINT4 j = 0; j < i; ++j)
        {
            if (_records.xmlTFs[j].output == text.output)
                return fail("TF output '@' is the output of another TF already!", text.output);
        }
        _used.collect(false);
        _s.parser.clearTokens();
        if (!_s.parseXml(text.fn.c_str()))
            return fail("Something wrong with TF expression: @", text.fn);
        Tree* pTree = _s.newTree();
        const bool built = pTree->build(_s.parser.getFirstToken());
        const bool comparison = built && _s.xmlRefusesComparison(*pTree, text.fn.c_str());
        const bool formatted = built && !comparison && TFStateSpace<T>(*pTree).checkTFFormat(_records.tfs[i].tf);
        _s.releaseTrees();
        if (!built)
        {
            _s.xmlExpressionError("Cannot make expression for Transfer Function: @", text.fn.c_str());
            return fail(nullptr);
        }
        if (comparison)
            return fail(nullptr);
        if (!formatted)
            return fail("Badly formatted transfer function: @", text.fn);
    }
    _used.collect(true);
    d.currentSection = 0;
    // f(s) is read again when the rows are made.
    return true;
}

template <typename T> bool XmlTFReader<T>::expandVarHistoryTF(td::UINT4 i)
{
    TransferFunction& tf = _records.tfs[i].tf;
    const DAERecords::XmlTFText& text = _records.xmlTFs[i];
    const td::UINT2 s = _s.getNumberOfStages();
    tf.firstState = -1;
    for (td::UINT2 k = 0; k < tf.stateCount(); ++k)
    {
        const bool ofOutput = k < tf.denomOrder;
        const int number = ofOutput ? k + 1 : k - tf.denomOrder + 1;
        const td::String state = XmlNames<T>::generatedName(ofOutput ? text.output : text.input, "'x", number);
        if (!XmlNames<T>(_s).addGeneratedName(state))
            return false;
        const td::INT4 index = _s.parser.getSymbolIndex(state);
        if (k == 0)
            tf.firstState = index;
        _s.setStateVarType(index, cTFState);
        if (!XmlDAESymbols<T>(_s, _used, _records).addIndexedSymbol(state, static_cast<td::UINT4>(index), s, false))
            return false;
    }
    if (tf.isImproper())
    {
        const td::String div = XmlNames<T>::generatedName(text.output, "#div");
        if (!XmlNames<T>(_s).addGeneratedName(div))
            return false;
        _s.setVarType(_s.parser.getSymbolIndex(div), cTFAuxiliary);
    }
    return true;
}

template <typename T> void XmlTFReader<T>::setupTFStates(td::UINT4 i)
{
    const td::UINT4 n = _records.tfs[i].tf.variableCount(_s.getNumberOfStages());
    for (td::UINT4 k = 0; k < n; ++k)
        _s.values().push(T(0));
}

template <typename T> bool XmlTFReader<T>::expandXmlTF(td::UINT4 i, td::UINT4& row, td::UINT4& nonZeros)
{
    SolverData<T>& d = _s.data();
    TransferFunction& tf = _records.tfs[i].tf;
    const DAERecords::XmlTFText& text = _records.xmlTFs[i];
    // An entry (none for a text that builds no tree), then the function's location.
    auto fail = [&](const char* message, const auto&... args) {
        if (message)
            d.addError(message, args...);
        d.itemLocationText(i, cCurrent);
        return false;
    };
    const td::INT4 y = _s.parser.getSymbolIndex(text.output);
    if (y < 0)
        return fail("TF output '@' was not declared! It must be declared as a variable!", text.output);
    if (static_cast<td::UINT4>(y) >= _s.getNumVariables())
        return fail("TF output '@' was declared as a parameter! It must be declared as a variable!", text.output);
    // An output has its equations from its function: an ODE of it would leave another
    // variable without any.
    if (d.stores.symbolInfo[static_cast<td::UINT4>(y)].varType == 3)
        return fail("TF output '@' is the state variable of an ODE! It cannot be a TF output too!", text.output);
    const td::INT4 u = _s.parser.getSymbolIndex(text.input);
    if (u < 0)
        return fail("TF input '@' was not declared! It must be declared as a variable!", text.input);
    tf.output = static_cast<td::UINT4>(y);
    tf.input = static_cast<td::UINT4>(u);
    d.stores.daeVarRecords[tf.output].firstTFState = tf.firstState;

    _used.begin();
    _s.parser.clearTokens();
    Tree* pTree = _s.parseXml(text.fn.c_str()) ? _s.newTree() : nullptr;
    if (!pTree || !pTree->build(_s.parser.getFirstToken()))
    {
        _s.releaseTrees();
        return fail(nullptr);
    }
    td::INT4 position = 0;
    const TFFailure failure = DAERows<T>(_s, _used).realiseTransferFunction(*pTree, tf, row, nonZeros, position);
    _s.releaseTrees();
    const td::String& y0 = text.output;
    const td::String& u0 = text.input;
    const td::String& f = text.fn;
    switch (failure)
    {
    case TFFailure::None: return true;
    case TFFailure::Polynomials:
        return fail("TF with output=@, input=@, and tf=@ is not formatted properly!", y0, u0, f);
    case TFFailure::DenomLaplace:
        return fail("TF with output=@, input=@, and tf=@ is not formatted properly! Problem is in denominator pos @!",
                    y0, u0, f, position);
    case TFFailure::NomLaplace:
        return fail("TF with output=@, input=@, and tf=@ is not formatted properly! Problem is in noninator pos @!", y0,
                    u0, f, position);
    case TFFailure::StateSpace:
        return fail("Cannot create state space model for TF with output=@, input=@, and tf=@!", y0, u0, f);
    default:
        // A discretised row that cannot be compiled.
        return fail("Cannot create equations for TF with output=@, input=@, and tf=@!", y0, u0, f);
    }
}

template class XmlTFReader<double>;
template class XmlTFReader<std::complex<double>>;
} // namespace sl
