# Loads a static model text, solves it and prints its variables and parameters.
# Usage: solveModel.py [--complex] <model file>
import sys

import simHostPy as sh


def status_text(status):
    """The name of a status; a value no status has prints as its number."""
    if status in sh.Solution.__members__.values():
        return status.name
    return f"status {int(status)}"


def solve(path, complex_model):
    create = sh.createComplexStaticModel if complex_model else sh.createRealStaticModel
    model = create(sh.StaticProblem.NLE, sh.getConsoleLogger())
    try:
        if not model.initFromFile(path):
            print(f"{path} could not be loaded.")
            return 1
        status = model.getSolverInterface().solve()
        print(f"{path}: {status_text(status)}")
        for title, names, values in (("Variables", model.getVariableNames(), model.getVariableValues()),
                                     ("Parameters", model.getParameterNames(), model.getAllParameterValues())):
            print(f"{title}:")
            for name, value in zip(names, values):
                print(f"  {name} = {value}")
        return 0 if status == sh.Solution.OK else 2
    finally:
        model.release()


if __name__ == "__main__":
    args = sys.argv[1:]
    complex_model = args[:1] == ["--complex"]
    if len(args) != 1 + complex_model:
        sys.exit("Usage: solveModel.py [--complex] <model file>")
    sys.exit(solve(args[-1], complex_model))
