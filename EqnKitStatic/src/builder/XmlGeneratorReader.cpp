#include "XmlGeneratorReader.h"

#include <climits>
#include <cmath>
#include <string>

#include "RndGen.h"
#include "XmlNames.h"
#include "XmlNodes.h"
#include "XmlTexts.h"

namespace sl
{
using namespace xmlnodes;

namespace
{
// Reads the parameters of one RndGen element; each read writes the entry of its failure.
template <typename T> class RndGenReader
{
public:
    RndGenReader(const SolverData<T>& d, const xml::Node& gen, const char* name) : _d(d), _gen(gen), _name(name) {}

    // The generator the element declares; null after an entry.
    rnd::Gen* make(const char* type);

private:
    // A parameter that must be there; missing names the entry written without it.
    bool need(const char* attribName, const char* missing, double& v)
    {
        const char* text = attrib(_gen, attribName);
        if (!text)
        {
            _d.addError(missing, _name);
            return false;
        }
        if (!xmlnodes::parseWholeNumber(v, text) || !std::isfinite(v))
            return invalid(attribName);
        return true;
    }
    bool positive(const char* attribName, const char* missing, double& v)
    {
        return need(attribName, missing, v) && (v > 0 || invalid(attribName));
    }
    bool optional(const char* attribName, double& v)
    {
        v = 0;
        const char* text = attrib(_gen, attribName);
        if (!text)
            return true;
        return (xmlnodes::parseWholeNumber(v, text) && std::isfinite(v)) || invalid(attribName);
    }
    bool invalid(const char* attribName)
    {
        _d.addError("Invalid @ value in @ RndGen entry with name=@!", attribName, _type, _name);
        return false;
    }
    rnd::Gen* uniform();
    rnd::Gen* normal(bool logNormal);

    const SolverData<T>& _d;
    const xml::Node& _gen;
    const char* _name;
    const char* _type = "";
};

template <typename T> rnd::Gen* RndGenReader<T>::uniform()
{
    // The real form unless a real attribute says otherwise.
    const char* real = attrib(_gen, "real");
    double min = 0, max = 0;
    if (!real || isTrueText(real))
    {
        if (!need("min", "Missing min value in Uniform real RndGen entry with name=@!", min) ||
            !need("max", "Missing max value in Uniform real RndGen entry with name=@!", max))
            return nullptr;
        return min <= max || invalid("max") ? new rnd::Uniform(min, max) : nullptr;
    }
    if (!need("min", "Missing min value in Uniform int RndGen entry with name=@!", min) ||
        !need("max", "Missing max value in Uniform int RndGen entry with name=@!", max))
        return nullptr;
    if (min < static_cast<double>(INT_MIN) || min > static_cast<double>(INT_MAX))
        return invalid("min"), nullptr;
    if (max < min || max > static_cast<double>(INT_MAX))
        return invalid("max"), nullptr;
    return new rnd::UniformInt(static_cast<td::INT4>(std::trunc(min)), static_cast<td::INT4>(std::trunc(max)));
}

template <typename T> rnd::Gen* RndGenReader<T>::normal(bool logNormal)
{
    double mean = 0, dev = 0, width = 0;
    if (!need("mean",
              logNormal ? "Missing mean value in LogGauss RndGen entry with name=@!"
                        : "Missing mean value in Gauss RndGen entry with name=@!",
              mean) ||
        !positive("dev",
                  logNormal ? "Missing dev value in Gauss LogGauss entry with name=@!"
                            : "Missing dev value in Gauss RndGen entry with name=@!",
                  dev) ||
        !optional("width", width))
        return nullptr;
    if (!logNormal)
        return new rnd::Gauss(mean, dev, width);
    // Every exponentiated draw is positive: an upper bound at or below zero admits none.
    if (rnd::Bounds::around(mean, width).upper <= 0)
        return invalid("width"), nullptr;
    return new rnd::LogGauss(mean, dev, width);
}

template <typename T> rnd::Gen* RndGenReader<T>::make(const char* type)
{
    _type = type;
    const std::string t(type);
    double a = 0, b = 0;
    if (t == "Uniform")
        return uniform();
    if (t == "Gauss" || t == "LogGauss")
        return normal(t == "LogGauss");
    if (t == "Bernoulli")
    {
        if (!need("probTrue", "Missing probTrue value in Bernoulli RndGen entry with name=@!", a))
            return nullptr;
        return a >= 0 && a <= 1 ? new rnd::Bernoulli(a) : (invalid("probTrue"), nullptr);
    }
    if (t == "Poisson")
    {
        if (!positive("lambda", "Missing lambda value in Poisson RndGen entry with name=@!", a))
            return nullptr;
        return a <= rnd::Poisson::cMaxMean ? new rnd::Poisson(a) : (invalid("lambda"), nullptr);
    }
    if (t == "Expo")
        return positive("lambda", "Missing lambda value in Exponential RndGen entry with name=@!", a)
                   ? new rnd::PoissonExponential(a)
                   : nullptr;
    if (t == "Gamma")
        return positive("alpha", "Missing alpha value in Gamma RndGen entry with name=@!", a) &&
                       positive("beta", "Missing beta value in Gamma RndGen entry with name=@!", b)
                   ? new rnd::PoissonGamma(a, b)
                   : nullptr;
    if (t == "ChiSqr")
        return positive("k", "Missing k value in ChiSquared RndGen entry with name=@!", a) ? new rnd::ChiSquared(a)
                                                                                           : nullptr;
    if (t == "Student")
        return positive("n", "Missing n value in Student RndGen entry with name=@!", a) ? new rnd::Student(a) : nullptr;
    _d.addError("Unnown type=@ in RndGen with name=@!", type, _name);
    return nullptr;
}
} // namespace

template <typename T> bool XmlGeneratorReader<T>::loadRndGens(const xml::Node& root)
{
    SolverData<T>& d = _s.data();
    xml::Node gen = child(child(root, "RndGens"), "RndGen");
    const td::UINT4 n = count(gen);
    if (n == 0)
        return true;
    RndGenManager& manager = d.stores.generators;
    manager.reserve(n);
    d.currentSection = static_cast<td::BYTE>(ErrorSection::RndGens);
    for (td::UINT4 p = 0; p < n; ++p, gen.nextSameName())
    {
        const ElementLine line(d.xmlLine, gen);
        const char* name = attrib(gen, "name");
        const char* type = attrib(gen, "type");
        rnd::Gen* pGen = nullptr;
        if (name && !XmlNames<T>(_s).checkXmlName(name, p, true))
        {
            d.currentSection = 0;
            return false;
        }
        if (!name)
            d.addError("Missing name in RndGen entry!");
        else if (const td::INT4 first = manager.find(name, static_cast<td::UINT4>(std::strlen(name))); first >= 0)
            d.addError("RndGen entry with name=@ defined twice. First position=@!", name, first);
        else if (!type)
            d.addError("Missing type in RndGen entry!");
        else
            pGen = RndGenReader<T>(d, gen, name).make(type);
        if (!pGen)
        {
            d.itemLocationText(p, cCurrent);
            d.currentSection = 0;
            return false;
        }
        manager.add(td::String(name), pGen);
    }
    d.currentSection = 0;
    return true;
}

template class XmlGeneratorReader<double>;
template class XmlGeneratorReader<std::complex<double>>;
} // namespace sl
