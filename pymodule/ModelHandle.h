// Python's handles on model objects and on their solving faces. Python owns a handle, never
// the model: the model lives until release(), and every later call raises RuntimeError.
#pragma once

#include <stdexcept>

#include <sc/IModel.h>

namespace simHostPy
{
[[noreturn]] inline void throwReleased() { throw std::runtime_error("Model has been released"); }

// The solving face (sc::IStatic or sc::IDynamic) of one model, a part of the model's handle
// and valid as long as the model is.
template <typename I> class FaceHandle
{
public:
    I& face() const
    {
        if (!_pFace)
            throwReleased();
        return *_pFace;
    }

private:
    template <typename, typename> friend class ModelHandle;
    I* _pFace = nullptr;
};

// One handle for each model a factory makes, so a model made at the address of a released
// one never shows up as the released model's Python object.
template <typename T, typename I> class ModelHandle
{
public:
    using Model = sc::IModel<T, I>;

    explicit ModelHandle(Model* pModel) : _pModel(pModel) {}
    ModelHandle(const ModelHandle&) = delete;
    ModelHandle& operator=(const ModelHandle&) = delete;

    Model& model() const
    {
        if (!_pModel)
            throwReleased();
        return *_pModel;
    }

    FaceHandle<I>& solverInterface()
    {
        _face._pFace = model().getSolverInterface();
        return _face;
    }

    // Ends the model; a second call does nothing.
    void release()
    {
        if (!_pModel)
            return;
        Model* pModel = _pModel;
        _pModel = nullptr;
        _face._pFace = nullptr;
        pModel->release();
    }

private:
    Model* _pModel;
    FaceHandle<I> _face;
};
} // namespace simHostPy
