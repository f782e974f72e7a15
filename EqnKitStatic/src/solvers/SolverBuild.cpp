// What every solver kind does around a build: dropping the last build, the settings of
// the model line, what the build hands back, error entries of a failed build, and the
// child models that a main model's build makes.
#include <cfloat>

#include <sc/TokenizedModel.h>

#include "Solver.h"

namespace sl
{
namespace
{
sc::TokenizedModel::iterator modelLine(const sc::TokenizedModel& model, sc::ModelLevel level)
{
    return model.getGroup(level == sc::ModelLevel::Main ? sc::Group::Model : sc::Group::SubModel, level);
}
} // namespace

template <typename T> void Solver<T>::beginBuild()
{
    _built = false;
    for (std::size_t i = 0; i < _children.size(); ++i)
    {
        if (_children[i])
            _children[i]->release();
    }
    _children.clear();
    _startValues.reserve(0);
    _copyParsCount = _copyParsFirst = 0;
    _iterationsInPass = _totalIterations = 0;
    _residualNorm = DBL_MAX;
}

template <typename T> void Solver<T>::readReInit(const sc::TokenizedModel& model, sc::ModelLevel level)
{
    bool reInit = false;
    modelLine(model, level).getAttrib(sc::AttribID::ReInit, reInit);
    _reInit = reInit ? 1 : 0;
}

template <typename T> void Solver<T>::applyModelLineSettings(const sc::TokenizedModel& model, sc::ModelLevel level)
{
    const sc::TokenizedModel::iterator line = modelLine(model, level);
    double value = 0;
    if (line.getAttrib(sc::AttribID::Eps, value))
        _eps = value;
    if (!(_eps > 0))
        _eps = cDefaultEps;
    if (line.getAttrib(sc::AttribID::MaxIter, value))
        _maxIter = value >= 65535.0 ? td::UINT2(65535) : value >= 1.0 ? static_cast<td::UINT2>(value) : td::UINT2(0);
    if (_maxIter == 0)
        _maxIter = cDefaultMaxIter;
    bool on = false;
    if (line.getAttrib(sc::AttribID::AlwaysOn, on))
        _alwaysOn = on ? 1 : 0;
    if (level != sc::ModelLevel::Sub)
        return;
    _initMain = 1;
    if (line.getAttrib(sc::AttribID::InitMain, on) && !on)
        _initMain = 2;
    _copyParsCount = model.getCopyParamsFromParentToSubModelCopied();
    _copyParsFirst = model.getNumberOfInitialSubProblemParams();
}

template <typename T> void Solver<T>::takeBuildResults(const BuildResults& results)
{
    TD_ASSERT(_stores.nVars == results.nVars);
    TD_ASSERT(_stores.nParams == results.nParams);
    _iterPostProcEveryPass = results.iterPostProcFlag;
    _basePostProcEveryPass = results.basePostProcFlag;
    _stores.settings.indexOfTParam = results.indexOfTParam;
    _stores.settings.indexOfDeltaTParam = results.indexOfDeltaTParam;
    if (results.eps != 0)
        _eps = results.eps;
}

template <typename T> void Solver<T>::addErrorEntry(ErrorSection section, const char* text)
{
    beginErrorEntry(_stores.errorLog, _stores.settings.line, static_cast<td::BYTE>(section));
    _stores.errorLog.append(text);
}

template <typename T> void Solver<T>::beginXmlChildren(td::UINT4 n)
{
    for (std::size_t i = 0; i < _children.size(); ++i)
    {
        if (_children[i])
            _children[i]->release();
    }
    _children.reserve(n);
}

template <typename T>
typename Solver<T>::SubModelBuild Solver<T>::buildXmlChild(const td::String& typeWord, const td::String& domain,
                                                           td::UINT4 line, const xml::Node& element)
{
    Solver* pChild = create(this, _pLog, typeWord, domain, cDefaultMaxIter, cDefaultEps, line);
    if (!pChild)
        return SubModelBuild::NoSolver;
    // The parent's parameters (its history parameters aside) are the child's first ones.
    pChild->_copyParsFirst = 0;
    pChild->_copyParsCount = _stores.nParams - getNumberOfStateVariables();
    // A child that fails stays in the list, as built so far.
    _children.push(pChild);
    if (pChild->getSolverType() != sc::SolverType::NR || !pChild->buildFromXmlElement(element))
        return SubModelBuild::Failed;
    return SubModelBuild::Built;
}

template <typename T>
typename Solver<T>::SubModelBuild Solver<T>::buildSubModel(const td::String& typeWord, double eps, td::UINT4 line,
                                                           const sc::Naming& naming, const sc::TokenizedModel& model)
{
    for (std::size_t i = 0; i < _children.size(); ++i)
    {
        if (_children[i])
            _children[i]->release();
    }
    _children.clear();
    Solver* pChild = create(this, _pLog, typeWord, td::String(), cDefaultMaxIter, eps, line);
    if (!pChild)
        return SubModelBuild::NoSolver;
    _children.push(pChild);
    // The child builds level 1 of the same model; the symbol table is only read.
    return pChild->init(const_cast<sc::Naming*>(&naming), model, false) ? SubModelBuild::Built : SubModelBuild::Failed;
}

template class Solver<double>;
template class Solver<std::complex<double>>;
} // namespace sl
