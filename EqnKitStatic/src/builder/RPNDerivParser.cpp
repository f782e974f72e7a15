#include "RPNDerivParser.h"

#include "DAEReader.h"
#include "PlotReader.h"
#include "TextBuilder.h"
#include "XmlBuilder.h"

namespace sl
{
template <typename T>
void RPNDerivParser<T>::bindSolverData(SolverData<T>& data, const sc::TokenizedModel* pModel, sc::ModelLevel level)
{
    _s.bindSolverData(data, pModel, level);
}

template <typename T> bool RPNDerivParser<T>::initNR(const sc::Naming& naming, const sc::TokenizedModel& model,
                                                     SolverData<T>& data, sc::ModelLevel level)
{
    return TextBuilder<T>(_s).initNR(naming, model, data, level);
}

template <typename T> bool RPNDerivParser<T>::initWLS(const sc::Naming& naming, const sc::TokenizedModel& model,
                                                      SolverData<T>& data, sc::ModelLevel level)
{
    return TextBuilder<T>(_s).initWLS(naming, model, data, level);
}

template <typename T> bool RPNDerivParser<T>::initODE(const sc::Naming& naming, const sc::TokenizedModel& model,
                                                      SolverData<T>& data, sc::ModelLevel level)
{
    return TextBuilder<T>(_s).initODE(naming, model, data, level);
}

template <typename T> bool RPNDerivParser<T>::initDAE(const sc::Naming& naming, const sc::TokenizedModel& model,
                                                      SolverData<T>& data, sc::ModelLevel level)
{
    TextBuilder<T> entry(_s);
    return DAEReader<T>(entry).initDAE(naming, model, data, level);
}

template <typename T> bool RPNDerivParser<T>::loadNRFromXML(const td::String& source, SolverData<T>& data)
{
    return XmlBuilder<T>(_s).loadNRFromXML(source, data);
}

template <typename T> bool RPNDerivParser<T>::loadODEFromXML(const td::String& source, SolverData<T>& data)
{
    return XmlBuilder<T>(_s).loadODEFromXML(source, data);
}

template <typename T> bool RPNDerivParser<T>::loadWLSFromXML(const td::String& source, SolverData<T>& data)
{
    return XmlBuilder<T>(_s).loadWLSFromXML(source, data);
}

template <typename T> bool RPNDerivParser<T>::loadDAEFromXML(const td::String& source, SolverData<T>& data)
{
    return XmlBuilder<T>(_s).loadDAEFromXML(source, data);
}

template <typename T> bool RPNDerivParser<T>::loadNRModel(const xml::Node& root, SolverData<T>& data)
{
    return XmlBuilder<T>(_s).loadNRModel(root, data);
}

template <typename T> bool RPNDerivParser<T>::initFigure(const sc::TokenizedModel& model, SolverData<T>& data)
{
    return PlotReader<T>(_s).initFigure(model, data);
}

template <typename T> BuildResults RPNDerivParser<T>::results() const
{
    BuildResults r = _s.data().results;
    r.nVars = _s.getNumVariables();
    r.nParams = _s.getNumParameters();
    return r;
}

template class RPNDerivParser<double>;
template class RPNDerivParser<std::complex<double>>;
} // namespace sl
