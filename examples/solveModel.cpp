// A small host of the model library: loads a static model text from a file, solves it and
// prints its variables and parameters. Usage: solveModel [--complex] <model file>
#include <complex>
#include <cstdio>
#include <cstring>

#include <sc/ModelFactories.h>
#include <sc/SolverTypes.h>

namespace
{
// The name of a status; a value no status has prints as its number.
void printStatus(const char* fileName, sc::Solution status)
{
    if (const char* pName = sc::printedName(status))
        std::printf("%s: %s\n", fileName, pName);
    else
        std::printf("%s: status %u\n", fileName, static_cast<unsigned>(status));
}

void print(double v) { std::printf("%.12g", v); }
void print(const std::complex<double>& v) { std::printf("%.12g%+.12gi", v.real(), v.imag()); }

template <typename T>
void printValues(const char* title, const cnt::SafeFullVector<td::String>& names, const cnt::SafeFullVector<T>& values)
{
    std::printf("%s:\n", title);
    for (std::size_t i = 0; i < names.size() && i < values.size(); ++i)
    {
        std::printf("  %s = ", names[i].c_str());
        print(values[i]);
        std::printf("\n");
    }
}

// 0 when the model was solved, 1 when it could not be loaded, 2 when the solve failed.
template <typename T> int solve(sc::IModel<T, sc::IStatic>* pModel, const char* fileName)
{
    if (!pModel)
    {
        std::printf("The model library could not make the model.\n");
        return 1;
    }
    if (!pModel->initFromFile(td::String(fileName)))
    {
        std::printf("%s could not be loaded.\n", fileName);
        pModel->release();
        return 1;
    }
    sc::Solution status = pModel->getSolverInterface()->solve();
    printStatus(fileName, status);
    cnt::SafeFullVector<T> values;
    pModel->getVariableValues(values);
    printValues("Variables", pModel->getVariableNames(), values);
    pModel->getAllParameterValues(values);
    printValues("Parameters", pModel->getParameterNames(), values);
    pModel->release();
    return status == sc::Solution::OK ? 0 : 2;
}
} // namespace

int main(int argc, char** argv)
{
    bool complexModel = argc == 3 && std::strcmp(argv[1], "--complex") == 0;
    if (argc != 2 && !complexModel)
    {
        std::printf("Usage: solveModel [--complex] <model file>\n");
        return 1;
    }
    const char* fileName = argv[argc - 1];
    sc::ILog* pLog = sc::getConsoleLogger();
    if (complexModel)
        return solve(sc::createCmplxStaticModel(sc::IStatic::NLE, pLog, 100), fileName);
    return solve(sc::createRealStaticModel(sc::IStatic::NLE, pLog, 100), fileName);
}
