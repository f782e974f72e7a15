#include "GeneratorReader.h"

#include <climits>
#include <cmath>

#include <sc/MessageKeys.h>

#include "RndGen.h"

namespace sl
{
namespace msg = sc::msg;
using A = sc::AttribID;

namespace
{
// Reads the parameters of one Distribs line; each read gives the key of its failure or
// null.
class DistributionReader
{
public:
    explicit DistributionReader(const sc::TokenizedModel::iterator& it) : _it(it) {}

    // The generator the line declares; null with the key of the first failure.
    rnd::Gen* make(const char*& key);

private:
    const char* need(A id, const char* missingKey, double& v) const
    {
        if (!_it.getAttrib(id, v))
            return missingKey;
        return std::isfinite(v) ? nullptr : msg::csNotFiniteInDist;
    }
    const char* optionalWidth(double& w) const
    {
        w = 0;
        if (!_it.getAttrib(A::Width, w))
            return nullptr;
        return std::isfinite(w) ? nullptr : msg::csNotFiniteInDist;
    }
    // A parameter that must be greater than zero.
    const char* positive(A id, const char* missingKey, const char* notPositiveKey, double& v) const
    {
        if (const char* key = need(id, missingKey, v))
            return key;
        return v > 0 ? nullptr : notPositiveKey;
    }

    rnd::Gen* uniform(const char*& key);
    rnd::Gen* normal(bool logNormal, const char*& key);

    const sc::TokenizedModel::iterator& _it;
};

rnd::Gen* DistributionReader::uniform(const char*& key)
{
    double integer = 0, min = 0, max = 0;
    _it.getAttrib(A::Integer, integer);
    if ((key = need(A::Min, msg::csNoMinInUniformDist, min)) || (key = need(A::Max, msg::csNoMaxInUniformDist, max)))
        return nullptr;
    if (min > max)
    {
        key = msg::csMinGtMaxInUniformDist;
        return nullptr;
    }
    if (integer == 0)
        return new rnd::Uniform(min, max);
    if (min < static_cast<double>(INT_MIN) || max > static_cast<double>(INT_MAX))
    {
        key = msg::csIntRangeInUniformDist;
        return nullptr;
    }
    return new rnd::UniformInt(static_cast<td::INT4>(std::trunc(min)), static_cast<td::INT4>(std::trunc(max)));
}

rnd::Gen* DistributionReader::normal(bool logNormal, const char*& key)
{
    double mean = 0, dev = 0, width = 0;
    if ((key = need(A::Mean, logNormal ? msg::csNoMeanInLogGaussDist : msg::csNoMeanInGaussDist, mean)) ||
        (key = positive(A::Dev, logNormal ? msg::csNoDevInLogGausDist : msg::csNoDevInGaussDist, msg::cs0DevInGaussDist,
                        dev)) ||
        (key = optionalWidth(width)))
        return nullptr;
    if (!logNormal)
        return new rnd::Gauss(mean, dev, width);
    // Every exponentiated draw is positive: an upper bound at or below zero admits none.
    if (rnd::Bounds::around(mean, width).upper <= 0)
    {
        key = msg::cs0UpperInLogGaussDist;
        return nullptr;
    }
    return new rnd::LogGauss(mean, dev, width);
}

rnd::Gen* DistributionReader::make(const char*& key)
{
    const td::PoolString* pType = _it.findAttrib(A::Type);
    key = msg::csDistNoType;
    if (!pType)
        return nullptr;
    double a = 0, b = 0;
    if (*pType == "Uniform")
        return uniform(key);
    if (*pType == "Gauss" || *pType == "LogGauss")
        return normal(*pType == "LogGauss", key);
    if (*pType == "Bernoulli")
    {
        if ((key = need(A::P, msg::csNoPimBernoulliDist, a)))
            return nullptr;
        if (!(a >= 0 && a <= 1))
        {
            key = msg::csPNotIn01InBernoulliDist;
            return nullptr;
        }
        return new rnd::Bernoulli(a);
    }
    if (*pType == "Poisson")
    {
        if ((key = positive(A::Lambda, msg::csNoLamdaInPoissonDist, msg::cs0LamdaInPoissonDist, a)))
            return nullptr;
        if (a > rnd::Poisson::cMaxMean)
        {
            key = msg::csLamdaRangeInPoissonDist;
            return nullptr;
        }
        return new rnd::Poisson(a);
    }
    if (*pType == "Expo")
        return (key = positive(A::Lambda, msg::csNoLamdaInExponDist, msg::cs0LamdaInExponDist, a))
                   ? nullptr
                   : new rnd::PoissonExponential(a);
    if (*pType == "Gamma")
        return (key = positive(A::Alpha, msg::csNoAlphaInGammaDist, msg::cs0AlphaInGammaDist, a)) ||
                       (key = positive(A::Beta, msg::csNoBetaInGammaDist, msg::cs0BetaInGammaDist, b))
                   ? nullptr
                   : new rnd::PoissonGamma(a, b);
    if (*pType == "ChiSqr")
        return (key = positive(A::K, msg::csNoKInChiSquaredDist, msg::cs0KInChiSquaredDist, a))
                   ? nullptr
                   : new rnd::ChiSquared(a);
    if (*pType == "Student")
        return (key = positive(A::N, msg::csNoNInStudentDist, msg::cs0NInStudentDist, a)) ? nullptr
                                                                                          : new rnd::Student(a);
    key = msg::csUnknowntDistribution;
    return nullptr;
}
} // namespace

template <typename T> bool GeneratorReader<T>::buildDistributions(const sc::TokenizedModel& model, sc::ModelLevel level)
{
    RndGenManager& manager = _s.data().stores.generators;
    manager.reserve(model.getNumberOfExpressions(sc::Group::Distribs, level));
    Iterator it = model.getGroup(sc::Group::Distribs, level);
    for (++it; !it.atEnd(); ++it)
    {
        const sc::_tl& l = it.line();
        const sc::_TokV* pName = l.nExpr > 0 ? &(*it.pExprTokens)[l.firstExpr] : nullptr;
        const char* key = msg::csDistNoType;
        rnd::Gen* pGen = pName && pName->kind == sc::Token::DistribName ? DistributionReader(it).make(key) : nullptr;
        if (!pGen)
            return _s.lineError(key, it);
        const td::PoolString* pText = pName->getString();
        // A name that is already there keeps its first generator.
        manager.add(td::String(pText->c_str(), pText->length()), pGen);
    }
    return true;
}

template class GeneratorReader<double>;
template class GeneratorReader<std::complex<double>>;
} // namespace sl
