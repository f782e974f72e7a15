// The module functions: the console logger and the three model factories of the model
// library, each model handed to Python in a handle of its own.
#include <memory>

#include <sc/ModelFactories.h>

#include "Bindings.h"
#include "ModelHandle.h"

namespace simHostPy
{
namespace
{
// None for a model the library could not make (a problem outside its enum).
template <typename T, typename I> std::unique_ptr<ModelHandle<T, I>> handle(sc::IModel<T, I>* pModel)
{
    return pModel ? std::make_unique<ModelHandle<T, I>>(pModel) : nullptr;
}
} // namespace

void bindFactories(py::module_& m)
{
    m.def("getConsoleLogger", &sc::getConsoleLogger, py::return_value_policy::reference);
    m.def(
        "createRealStaticModel",
        [](sc::IStatic::Problem problemType, sc::ILog* pLog, unsigned maxIter) {
            return handle(sc::createRealStaticModel(problemType, pLog, maxIter));
        },
        "Creates real valued static model.", py::arg("problemType"), py::arg("pLog") = py::none(),
        py::arg("maxIter") = 1000);
    m.def(
        "createComplexStaticModel",
        [](sc::IStatic::Problem problemType, sc::ILog* pLog, unsigned maxIter) {
            return handle(sc::createCmplxStaticModel(problemType, pLog, maxIter));
        },
        "Creates complex valued static model.", py::arg("problemType"), py::arg("pLog") = py::none(),
        py::arg("maxIter") = 1000);
    m.def(
        "createRealDynamicModel",
        [](sc::IDynamic::Problem problemType, sc::ILog* pLog, unsigned maxIter) {
            return handle(sc::createRealDynamicModel(problemType, pLog, maxIter));
        },
        "Creates real valued dynamid model.", py::arg("problemType"), py::arg("pLog") = py::none(),
        py::arg("maxIter") = 1000);
}
} // namespace simHostPy
