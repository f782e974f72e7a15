// The symbolic analysis of a sparse solver's pattern (its fill-reducing ordering and block
// structure), which a solver hands on to the next one it fills with the same pattern.
#pragma once

#include <memory>

namespace sparse
{
// Made by a sparse solver of the same value type (ISolver::takeAnalysis); it depends on the
// pattern and the solver's ordering settings alone, never on the values. One owner ends it
// with release.
template <typename T> class IAnalysis
{
public:
    virtual void release() = 0;

protected:
    ~IAnalysis() = default;
};

template <typename T> struct ReleaseAnalysis
{
    void operator()(IAnalysis<T>* p) const { p->release(); }
};

// The one owner of an analysis: moved from hand to hand, never copied; null for none.
template <typename T> using Analysis = std::unique_ptr<IAnalysis<T>, ReleaseAnalysis<T>>;
} // namespace sparse
