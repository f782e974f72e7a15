#include "XmlChildModels.h"

#include "XmlNodes.h"

namespace sl
{
using namespace xmlnodes;

template <typename T> bool XmlChildModels<T>::loadInitModels(const xml::Node& root)
{
    SolverData<T>& d = _s.data();
    xml::Node model = child(child(root, "Init"), "Model");
    const td::UINT4 n = count(model);
    if (n == 0)
        return true;
    TD_ASSERT(d.pSolver);
    d.pSolver->beginXmlChildren(n);
    td::UINT4 line = d.currentLine;
    using Result = typename ISolverServices<T>::SubModelBuild;
    for (td::UINT4 m = 0; m < n; ++m, model.nextSameName())
    {
        const char* name = attrib(model, "name");
        const char* type = attrib(model, "type");
        const char* domain = attrib(model, "domain");
        if (!name)
            return _s.xmlError("Init (child) model without name");
        if (!type)
            return _s.xmlError("Missing type for init (child) model with name= '@'", name);
        if (!domain)
        {
            d.addError("Missing domain for init (child) model with type='@' and name= '@'", type, name);
            return false;
        }
        ++line;
        switch (d.pSolver->buildXmlChild(td::String(type), td::String(domain), line, model))
        {
        case Result::Built: continue;
        case Result::NoSolver: d.addError("Cannot create solver of type='@' for model name= '@'", type, name); break;
        default: d.addError("Cannot initialize child solver of type='@' for model name= '@'", type, name); break;
        }
        return false;
    }
    return true;
}

template class XmlChildModels<double>;
template class XmlChildModels<std::complex<double>>;
} // namespace sl
