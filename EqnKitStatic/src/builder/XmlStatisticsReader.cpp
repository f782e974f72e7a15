#include "XmlStatisticsReader.h"

#include <climits>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "RndGen.h"
#include "SolverData.h"
#include "StatisticsNames.h"
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
        if (!XmlStatisticsReader<T>::parseWholeNumber(v, text) || !std::isfinite(v))
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
        return (XmlStatisticsReader<T>::parseWholeNumber(v, text) && std::isfinite(v)) || invalid(attribName);
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
        return positive("lambda", "Missing lambda value in Poisson RndGen entry with name=@!", a) ? new rnd::Poisson(a)
                                                                                                  : nullptr;
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

template <typename T> bool XmlStatisticsReader<T>::loadStats(const xml::Node& root)
{
    SolverData<T>& d = *_s.pData;
    const xml::Node stats = child(root, "Stats");
    if (stats.isEmpty())
        return true;
    StatisticsStore<T>& store = d.stores.statistics;
    d.currentSection = static_cast<td::BYTE>(ErrorSection::Stats);
    const char* text = attrib(stats, "name");
    if (!text)
        text = attrib(stats, "names");
    bool ok = true;
    if (!text)
        ok = _s.xmlError("Stats needs attribute name or names!");
    else if (!std::strchr(text, ','))
    {
        store.reserve(1);
        ok = XmlNames<T>(_s).checkXmlName(text, cNoItem, false) &&
             (sl::setStatsName(store, 0, td::String(text)) || _s.xmlError("Stats unexpected error!"));
    }
    else
    {
        std::vector<td::String> names;
        for (const char* p = text;; ++p)
        {
            const char* comma = std::strchr(p, ',');
            const char* end = comma ? comma : p + std::strlen(p);
            const char* b = skipBlanks(p);
            const char* e = end;
            while (e > b && isBlank(e[-1]))
                --e;
            names.push_back(b < e ? td::String(b, static_cast<std::size_t>(e - b)) : td::String());
            if (!comma)
                break;
            p = comma;
        }
        store.reserve(static_cast<td::UINT4>(names.size()));
        for (td::UINT4 i = 0; ok && i < names.size(); ++i)
        {
            if (!XmlNames<T>(_s).checkXmlName(names[i].c_str(), cNoItem, false))
                ok = false;
            else if (!sl::setStatsName(store, i, names[i]))
            {
                d.addError("Stats name @ entered two times! Second time on pos @!", names[i], static_cast<td::INT4>(i));
                ok = false;
            }
        }
    }
    d.currentSection = 0;
    return ok;
}

template class XmlStatisticsReader<double>;
template class XmlStatisticsReader<std::complex<double>>;
} // namespace sl
