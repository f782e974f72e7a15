// The enums of the model library, the logger handle, the solution options and the solving
// faces IStatic and IDynamic, in the order the module registers them.
#include <sc/IDynamic.h>
#include <sc/ILog.h>
#include <sc/IModel.h>
#include <sc/IStatic.h>
#include <sc/SolverTypes.h>

#include "Bindings.h"
#include "ModelHandle.h"

namespace simHostPy
{
namespace
{
// ModelType is registered by the first initialisation of the module in a process only.
bool s_modelTypeRegistered = false;

void bindSolution(py::module_& m)
{
    // Every status a solver returns has its member, by its Python name.
    py::enum_<sc::Solution> solution(m, "Solution");
#define EQNKIT_SOLUTION_MEMBER(name, code, printed, python) solution.value(python, sc::Solution::name);
    EQNKIT_SOLUTIONS(EQNKIT_SOLUTION_MEMBER)
#undef EQNKIT_SOLUTION_MEMBER
}

void bindStatic(py::module_& m)
{
    using Face = FaceHandle<sc::IStatic>;
    py::enum_<sc::IStatic::Problem>(m, "StaticProblem").value("NLE", sc::IStatic::NLE).value("WLS", sc::IStatic::WLS);
    py::class_<Face>(m, "IStatic")
        .def(
            "solve", [](Face& f) { return f.face().solve(); }, "Solves the static model");
}

void bindDynamic(py::module_& m)
{
    using Face = FaceHandle<sc::IDynamic>;
    py::enum_<sc::IDynamic::Problem>(m, "DynamicProblem")
        .value("ODE", sc::IDynamic::ODE)
        .value("DAE", sc::IDynamic::DAE);
    py::class_<Face>(m, "IDynamic")
        .def(
            "reset", [](Face& f, double t0) { return f.face().reset(t0); },
            "Resets internal variables and time and solves initial value. User is responsible to set other "
            "parameters before calling this method",
            py::arg("t0") = 0.0)
        .def(
            "step", [](Face& f, int nSteps) { return f.face().step(nSteps); }, "Solves ODE/DAE equaitons nSteps times",
            py::arg("nSteps") = 1)
        .def(
            "getStepSize", [](Face& f) { return f.face().getStepSize(); }, "Returns integraion step size")
        .def(
            "setStepSize", [](Face& f, double dT) { f.face().setStepSize(dT); }, "Sets integration step size");
}
} // namespace

void bindInterfaces(py::module_& m)
{
    bindSolution(m);
    // Python never creates, owns or frees a logger.
    py::class_<sc::ILog, std::unique_ptr<sc::ILog, py::nodelete>>(m, "ILog");
    bindStatic(m);
    bindDynamic(m);
    py::class_<sc::so>(m, "SolutionOptions");
    if (s_modelTypeRegistered)
        return;
    using Model = sc::IModel<double, sc::IStatic>;
    py::enum_<Model::Type>(m, "ModelType")
        .value("StaticReal", Model::StaticReal)
        .value("StaticComplex", Model::StaticComplex)
        .value("DynamicReal", Model::DynamicReal);
    s_modelTypeRegistered = true;
}
} // namespace simHostPy
