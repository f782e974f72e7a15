# Models end to end: loaded from a string and a file, solved, read back, changed and solved
# again; load errors on the console; the model after release.
import cmath
import math

import pytest
import simHostPy as sh
from conftest import MODELS, flush_c_stdout


def circle_line(r, k, d, x0):
    """Where x^2 + y^2 = r^2 meets y = k*x + d, on the side of x0."""
    a, b, c = 1 + k * k, 2 * k * d, d * d - r * r
    root = math.sqrt(b * b - 4 * a * c)
    x = min(((-b + root) / (2 * a), (-b - root) / (2 * a)), key=lambda x: abs(x - x0))
    return x, k * x + d


def set_parameter(model, name, value, vector):
    indices, values = sh.UintVector(1), vector(1)
    indices[0], values[0] = model.getParameterIndex(name), value
    return model.setParameterValues(indices=indices, values=values)


@pytest.mark.parametrize("load", ["initFromFile", "initFromString"])
def test_real_static_model(load, released_models):
    model = sh.createRealStaticModel(sh.StaticProblem.NLE)
    released_models.append(model)
    path = MODELS / "circleLine.txt"
    assert getattr(model, load)(str(path) if load == "initFromFile" else path.read_text())
    assert (str(model.getVariableNames()), str(model.getParameterNames())) == ("x y", "r k d")
    assert model.getSolverInterface().solve() == sh.Solution.OK
    values = model.getVariableValues()
    assert list(values) == pytest.approx(circle_line(2, 0.5, math.sqrt(2), 1), abs=1e-9)
    outputs = model.getOutputSymbolIndices()
    assert str(model.getOutputSymbolNames(symbIndices=outputs)) == "x y"
    assert list(model.getOutputSymbolValues(outputs)) == list(values)

    assert set_parameter(model, "r", 3, sh.DoubleVector)
    assert list(model.getAllParameterValues())[0] == 3.0
    assert model.getSolverInterface().solve() == sh.Solution.OK
    assert list(model.getVariableValues()) == pytest.approx(circle_line(3, 0.5, math.sqrt(2), values[0]), abs=1e-9)

    # New start values on the other side of the circle lead to the other intersection.
    start = sh.DoubleVector(2)
    start[0], start[1] = -3, -1
    assert model.setVariableValues(values=start)
    assert model.getSolverInterface().solve() == sh.Solution.OK
    assert list(model.getVariableValues()) == pytest.approx(circle_line(3, 0.5, math.sqrt(2), -3), abs=1e-9)


@pytest.mark.parametrize("load", ["initFromFile", "initFromString"])
def test_complex_static_model(load, released_models):
    model = sh.createComplexStaticModel(sh.StaticProblem.NLE, sh.getConsoleLogger(), 100)
    released_models.append(model)
    path = MODELS / "complexRoot.txt"
    assert getattr(model, load)(str(path) if load == "initFromFile" else path.read_text())
    solver = model.getSolverInterface()
    for c in (3 + 4j, -5 + 12j, 2j):
        assert set_parameter(model, "c", c, sh.ComplexVector)
        assert solver.solve() == sh.Solution.OK
        z = model.getVariableValues()[0]
        assert type(z) is complex and abs(z - cmath.sqrt(c)) < 1e-9
    assert repr(model.getParameterValues(sh.UintVector(1))) == "[(0,2)]"


def test_load_errors_reach_the_console_logger(capfd, released_models):
    model = sh.createRealStaticModel(sh.StaticProblem.NLE, sh.getConsoleLogger())
    released_models.append(model)
    assert not model.initFromString("Header:\nmaxIter = 50\nend\nModel [type = NL]:\nVars:\nx = 1 +* 2\n"
                                    "NLEs:\nx^2 = 2\nend\n")
    assert not model.initFromFile(str(MODELS / "none.txt"))
    flush_c_stdout()
    out = capfd.readouterr().out
    assert out.startswith("Error! LineNo=5, colNo=1, msg=@ET.OperAfterOper")
    assert "Error! Msg=Cannot init the solver!\n" in out

    # Without a logger the model is silent.
    model.setLogger(pLog=None)
    assert not model.initFromString("Model [type = NL]:\nVars:\nx = (\nend\n")
    assert model.getSolverInterface().solve() == sh.Solution.SolutionError
    flush_c_stdout()
    assert capfd.readouterr().out == ""


def released_calls(model):
    """Every method of a model with arguments of the right types."""
    vector = sh.ComplexVector if isinstance(model, sh.IComplexStaticModel) else sh.DoubleVector
    args = {"setLogger": [None], "initFromFile": ["m.txt"], "initFromString": ["x"], "getVariableIndex": ["x"],
            "getParameterIndex": ["x"], "getOutputSymbolNames": [sh.UintVector()], "getParameterValues":
            [sh.UintVector()], "getOutputSymbolValues": [sh.UintVector()], "setVariableValues": [vector()],
            "setParameterValues": [sh.UintVector(), vector()]}
    names = [n for n in vars(type(model)) if not n.startswith("_") and n not in ("release", "setSolutionOptions")]
    return [(name, args.get(name, [])) for name in names]


@pytest.mark.parametrize("create", [sh.createRealStaticModel, sh.createComplexStaticModel])
def test_a_released_model_refuses_every_call(create):
    model = create(sh.StaticProblem.NLE)
    assert model.initFromFile(str(MODELS / "circleLine.txt"))
    solver = model.getSolverInterface()
    model.release()
    model.release()  # a second release does nothing
    calls = released_calls(model)
    assert len(calls) == 18
    for name, args in calls + [("solve", [])]:
        with pytest.raises(RuntimeError, match="^Model has been released$"):
            getattr(solver if name == "solve" else model, name)(*args)

    # A model made after the release, perhaps at the same address, is a model of its own.
    again = create(sh.StaticProblem.NLE)
    try:
        assert again is not model
        assert again.initFromFile(str(MODELS / "circleLine.txt"))
        assert again.getSolverInterface() is not solver
        assert again.getSolverInterface().solve() == sh.Solution.OK
        with pytest.raises(RuntimeError):
            solver.solve()
    finally:
        again.release()
