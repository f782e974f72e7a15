#include "RndGen.h"

namespace rnd
{
Gen::Gen()
{
    std::random_device device;
    _engine.seed(device());
}
} // namespace rnd
