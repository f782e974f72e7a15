// The random generators of a model: each owns its engine, seeded once from the system's
// random device, so every generator draws its own non-reproducible stream.
#pragma once

#include <random>

#include <td/Types.h>

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

// An interval both of whose ends belong to it; without a width (w <= 0) every value.
struct Bounds
{
    double lower;
    double upper;

    static Bounds around(double mean, double width);
    bool contains(double v) const { return v >= lower && v <= upper; }
    double clamp(double v) const { return v < lower ? lower : (v > upper ? upper : v); }
};

// Draws outside the bounds are drawn again, at most this often; then the last draw is
// clamped to the bounds.
constexpr int cMaxBoundedDraws = 10000;

class Uniform final : public Gen
{
public:
    Uniform(double min, double max) : _dist(min, max) {}
    void generate(double& out) override { out = _dist(_engine); }

private:
    std::uniform_real_distribution<double> _dist;
};

class UniformInt final : public Gen
{
public:
    UniformInt(td::INT4 min, td::INT4 max) : _dist(min, max) {}
    void generate(double& out) override { out = _dist(_engine); }

private:
    std::uniform_int_distribution<td::INT4> _dist;
};

class Bernoulli final : public Gen
{
public:
    explicit Bernoulli(double probTrue) : _dist(probTrue) {}
    void generate(double& out) override { out = _dist(_engine) ? 1.0 : 0.0; }

private:
    std::bernoulli_distribution _dist;
};

class Poisson final : public Gen
{
public:
    // The largest mean drawn from: the standard draw rejects every candidate above the
    // largest 64-bit integer, so a mean near or beyond it would never return.
    static constexpr double cMaxMean = 4611686018427387904.0; // 2^62

    explicit Poisson(double lambda) : _dist(lambda) {}
    void generate(double& out) override { out = static_cast<double>(_dist(_engine)); }

private:
    std::poisson_distribution<td::LINT8> _dist;
};

class PoissonExponential final : public Gen
{
public:
    explicit PoissonExponential(double lambda) : _dist(lambda) {}
    void generate(double& out) override { out = _dist(_engine); }

private:
    std::exponential_distribution<double> _dist;
};

class PoissonGamma final : public Gen
{
public:
    PoissonGamma(double alpha, double beta) : _dist(alpha, beta) {}
    void generate(double& out) override { out = _dist(_engine); }

private:
    std::gamma_distribution<double> _dist;
};

class Gauss final : public Gen
{
public:
    Gauss(double mean, double dev, double width) : _dist(mean, dev), _bounds(Bounds::around(mean, width)) {}
    void generate(double& out) override;

private:
    std::normal_distribution<double> _dist;
    Bounds _bounds;
};

// exp of a normal draw; the bounds are taken around the normal's mean and compared with
// the exponentiated value.
class LogGauss final : public Gen
{
public:
    LogGauss(double mean, double dev, double width) : _mean(mean), _dev(dev), _bounds(Bounds::around(mean, width)) {}
    void generate(double& out) override;

private:
    double _mean;
    double _dev;
    Bounds _bounds;
};

class ChiSquared final : public Gen
{
public:
    explicit ChiSquared(double k) : _dist(k) {}
    void generate(double& out) override { out = _dist(_engine); }

private:
    std::chi_squared_distribution<double> _dist;
};

class Student final : public Gen
{
public:
    explicit Student(double n) : _dist(n) {}
    void generate(double& out) override { out = _dist(_engine); }

private:
    std::student_t_distribution<double> _dist;
};
} // namespace rnd
