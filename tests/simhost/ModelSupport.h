// Model objects over fake solvers for the model-library tests, and the model texts they
// load: a header, a model line and a small body of two variables and three parameters.
#pragma once

#include <complex>
#include <memory>
#include <string>

#include <support/RecordingLog.h>

#include "DynamicSolver.h"
#include "FakeSolver.h"
#include "StaticSolver.h"

namespace test
{
using Cmplx = std::complex<double>;
using RealStatic = StaticSolver<double, sc::ISolver<double>>;
using CmplxStatic = StaticSolver<Cmplx, sc::ISolver<Cmplx>>;
using RealDynamic = DynamicSolver<double, sc::ISolver<double>>;

// The iteration limit the tests' factories give their solvers.
constexpr int cFactoryMaxIter = 77;

struct Releaser
{
    template <typename M> void operator()(M* p) const { p->release(); }
};
template <typename M> using ModelPtr = std::unique_ptr<M, Releaser>;

// A model of type M over a fake solver of value type T, as a factory would make it.
template <typename M, typename T = double> ModelPtr<M> makeFakeModel(sc::ILog* pLog)
{
    return ModelPtr<M>(new M(FakeSolver<T>::make(pLog, cFactoryMaxIter), &FakeSolver<T>::make, cFactoryMaxIter));
}

inline std::string modelText(const std::string& header, const std::string& attribs)
{
    return "Header:\n" + header + "\nend\nModel [" + attribs +
           "]:\nVars:\nx = 1; y = 2\nParams:\na = 3; b = 4; c = 5\nNLEs:\nx = a\ny = b + c\nend\n";
}

inline std::string keys(const RecordingLog& log)
{
    std::string out;
    for (const auto& m : log.messages)
        out += m.text + "|";
    return out;
}
} // namespace test
