// The entry of the Python module simHostPy. pybind11's entry refuses an interpreter of
// another version than the one the module was built for, then runs the body once.
#include "Bindings.h"

PYBIND11_MODULE(simHostPy, m)
{
    m.doc() = "Python bindings for simHostPy library";
    simHostPy::bindString(m);
    simHostPy::bindVectors(m);
    simHostPy::bindInterfaces(m);
    simHostPy::bindModels(m);
    simHostPy::bindFactories(m);
}
