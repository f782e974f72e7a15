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
    # The text's line 6, at the second of the two operators.
    assert out.startswith("Error! LineNo=6, colNo=8, msg=@ET.OperAfterOper")
    assert "Error! Msg=Cannot init the solver!\n" in out

    # Without a logger the model is silent.
    model.setLogger(pLog=None)
    assert not model.initFromString("Model [type = NL]:\nVars:\nx = (\nend\n")
    assert model.getSolverInterface().solve() == sh.Solution.SolutionError
    flush_c_stdout()
    assert capfd.readouterr().out == ""


@pytest.mark.parametrize("create, vector", [(sh.createRealStaticModel, sh.DoubleVector),
                                            (sh.createComplexStaticModel, sh.ComplexVector)])
def test_a_released_model_refuses_every_call(create, vector):
    model = create(sh.StaticProblem.NLE)
    assert model.initFromFile(str(MODELS / "circleLine.txt"))
    solver = model.getSolverInterface()
    model.release()
    model.release()  # a second release does nothing
    u = sh.UintVector()
    args = {"setLogger": [None], "initFromFile": ["m"], "initFromString": ["m"], "getVariableIndex": ["x"],
            "getParameterIndex": ["x"], "getOutputSymbolNames": [u], "getParameterValues": [u],
            "getOutputSymbolValues": [u], "setVariableValues": [vector()], "setParameterValues": [u, vector()]}
    names = [n for n in vars(type(model)) if n[0] != "_" and n not in ("release", "setSolutionOptions")]
    assert len(names) == 18
    for call in [getattr(model, n) for n in names] + [solver.solve]:
        with pytest.raises(RuntimeError, match="^Model has been released$"):
            call(*args.get(call.__name__, []))

    # A model made after the release, perhaps at the same address, is a model of its own.
    again = create(sh.StaticProblem.NLE)
    try:
        assert again is not model and again.getSolverInterface() is not solver
        assert again.initFromFile(str(MODELS / "circleLine.txt"))
        assert again.getSolverInterface().solve() == sh.Solution.OK
        with pytest.raises(RuntimeError):
            solver.solve()
    finally:
        again.release()
