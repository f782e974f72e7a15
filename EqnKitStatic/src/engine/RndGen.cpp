#include "RndGen.h"

#include <cfloat>
#include <cmath>

namespace rnd
{
Gen::Gen()
{
    std::random_device device;
    _engine.seed(device());
}

Bounds Bounds::around(double mean, double width)
{
    if (width > 0)
        return {mean - width * 0.5, mean + width * 0.5};
    return {-DBL_MAX, DBL_MAX};
}

void Gauss::generate(double& out)
{
    double v = _dist(_engine);
    for (int tries = 1; !_bounds.contains(v) && tries < cMaxBoundedDraws; ++tries)
        v = _dist(_engine);
    out = _bounds.clamp(v);
}

void LogGauss::generate(double& out)
{
    double v = 0;
    for (int tries = 0; tries < cMaxBoundedDraws; ++tries)
    {
        std::normal_distribution<double> dist(_mean, _dev);
        v = std::exp(dist(_engine));
        if (_bounds.contains(v))
            break;
    }
    out = _bounds.clamp(v);
}
} // namespace rnd
