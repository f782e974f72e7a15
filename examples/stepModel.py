"""Steps a dynamic model text through the model library and prints its output symbols over time.

Usage: stepModel.py [--ode] <model file> [steps] [steps between rows]
"""
import sys

import simHostPy as sh


def status_text(status):
    """The name of a status; a value no status has prints as its number."""
    if status in sh.Solution.__members__.values():
        return status.name
    return f"status {int(status)}"


def step(path, problem, n_steps, every):
    model = sh.createRealDynamicModel(problem, sh.getConsoleLogger())
    try:
        if not model.initFromFile(path):
            print(f"{path} could not be loaded.")
            return 1
        solver = model.getSolverInterface()
        if not solver.reset(0.0):
            print(f"{path} could not start.")
            return 2
        outputs = model.getOutputSymbolIndices()
        names = str(model.getOutputSymbolNames(symbIndices=outputs)).split()
        t = model.getParameterIndex("t")
        print("t".rjust(8) + "".join(name.rjust(12) for name in names))
        for _ in range(0, n_steps, every):
            status = solver.step(every)
            if status != sh.Solution.OK:
                print(f"{path}: {status_text(status)}")
                return 2
            time = model.getAllParameterValues()[t]
            print(f"{time:8.3f}" + "".join(f"{value:12.6f}" for value in model.getOutputSymbolValues(outputs)))
        return 0
    finally:
        model.release()


if __name__ == "__main__":
    args = sys.argv[1:]
    problem = sh.DynamicProblem.ODE if args[:1] == ["--ode"] else sh.DynamicProblem.DAE
    args = args[1:] if args[:1] == ["--ode"] else args
    if not 1 <= len(args) <= 3:
        sys.exit(__doc__.strip().splitlines()[-1])
    n_steps = int(args[1]) if len(args) > 1 else 100
    every = int(args[2]) if len(args) > 2 else 10
    sys.exit(step(args[0], problem, n_steps, every))
