// The model classes of the Python module: one template of bindings over the value type and
// the solving face, so the three classes answer the same methods in the same order.
#include <complex>

#include <cnt/SafeFullVector.h>
#include <sc/IDynamic.h>
#include <sc/ILog.h>
#include <sc/IModel.h>
#include <sc/IStatic.h>
#include <td/String.h>

#include "Bindings.h"
#include "ModelHandle.h"

namespace simHostPy
{
namespace
{
using Indices = cnt::SafeFullVector<td::UINT4>;

template <typename T, typename I> void bindModel(py::module_& m, const char* name)
{
    using H = ModelHandle<T, I>;
    using V = cnt::SafeFullVector<T>;
    py::class_<H>(m, name)
        .def(
            "setSolutionOptions", [](H& h, const sc::so& options) { h.model().setSolutionOptions(options); },
            "Sets various solution options", py::arg("options"))
        .def(
            "setLogger", [](H& h, sc::ILog* pLog) { h.model().setLogger(pLog); },
            "Sets the logger. If null there will be no logging.", py::arg("pLog"))
        .def(
            "initFromFile", [](H& h, const td::String& fileName) { return h.model().initFromFile(fileName); },
            "Loads model from file and creates all nrequired expression trees for Jacobians, implicit DAE solvers, etc",
            py::arg("fileName"))
        .def(
            "initFromString", [](H& h, const td::String& content) { return h.model().initFromString(content); },
            "Loads model from string variable and creates all nrequired expression trees for Jacobians, implicit DAE "
            "solvers, etc",
            py::arg("content"))
        .def(
            "getNumberOfVariables", [](H& h) { return h.model().getNumberOfVariables(); },
            "Returns number of variables in the main model.")
        .def(
            "getNumberOfParameters", [](H& h) { return h.model().getNumberOfParameters(); },
            "Returns number of parameters in the main model.")
        .def(
            "getVariableIndex", [](H& h, const td::String& varName) { return h.model().getVariableIndex(varName); },
            "Returns variable index for a given variable name.", py::arg("varName"))
        .def(
            "getParameterIndex",
            [](H& h, const td::String& paramName) { return h.model().getParameterIndex(paramName); },
            "Returns parameter index for a given parameter name.", py::arg("paramName"))
        .def(
            "getVariableNames", [](H& h) { return h.model().getVariableNames(); },
            "Returns a vector with all variable names.")
        .def(
            "getParameterNames", [](H& h) { return h.model().getParameterNames(); },
            "Returns a vector with all parameter names.")
        .def(
            "getOutputSymbolIndices", [](H& h) { return h.model().getOutputSymbolIndices(); },
            "Returns a vector with all output symbol indices.")
        .def(
            "getOutputSymbolNames",
            [](H& h, const Indices& symbIndices) { return h.model().getOutputSymbolNames(symbIndices); },
            "Returns a vector with all output symbol names.", py::arg("symbIndices"))
        .def("getAllParameterValues",
             [](H& h) {
                 V out;
                 h.model().getAllParameterValues(out);
                 return out;
             })
        .def(
            "getParameterValues",
            [](H& h, const Indices& indices) {
                V out;
                if (!h.model().getParameterValues(indices, out))
                    throw py::value_error("Failed to get parameter values");
                return out;
            },
            py::arg("indices"))
        .def("getVariableValues",
             [](H& h) {
                 V out;
                 h.model().getVariableValues(out);
                 return out;
             })
        .def(
            "getOutputSymbolValues",
            [](H& h, const Indices& symbIndices) {
                V out;
                if (!h.model().getOutputSymbolValues(symbIndices, out))
                    throw py::value_error("Failed to get output symbol values");
                return out;
            },
            py::arg("symbIndices"))
        .def(
            "setVariableValues", [](H& h, const V& values) { return h.model().setVariableValues(values); },
            "Sets variable values", py::arg("values"))
        .def(
            "setParameterValues",
            [](H& h, const Indices& indices, const V& values) { return h.model().setParameterValues(indices, values); },
            "Set parameter values for selected indices.", py::arg("indices"), py::arg("values"))
        .def(
            "getSolverInterface", [](H& h) -> FaceHandle<I>& { return h.solverInterface(); },
            py::return_value_policy::reference_internal,
            "Returns solver interface (static or dynamic depending on the model type)")
        .def("release", &H::release, "(Optional) Manually release the model and free the memory.");
}
} // namespace

void bindModels(py::module_& m)
{
    bindModel<double, sc::IStatic>(m, "IRealStaticModel");
    bindModel<std::complex<double>, sc::IStatic>(m, "IComplexStaticModel");
    bindModel<double, sc::IDynamic>(m, "IRealDynamicModel");
}
} // namespace simHostPy
