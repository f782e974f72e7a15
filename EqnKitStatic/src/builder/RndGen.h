// Base of the random generators of a model: each owns its engine, seeded once from the
// system's random device, so every generator draws its own non-reproducible stream.
#pragma once

#include <random>

namespace rnd
{
class Gen
{
public:
    Gen();
    Gen(const Gen&) = delete;
    Gen& operator=(const Gen&) = delete;
    virtual ~Gen() = default;

    // Draws the next value.
    virtual void generate(double& out) = 0;

protected:
    std::mt19937 _engine;
};
} // namespace rnd
