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
    # The model library's refusal stands at the model line (line 4).
    assert "Error! LineNo=4, colNo=1, msg=Cannot init the solver!\n" in out

    # Without a logger the model is silent.
    model.setLogger(pLog=None)
    assert not model.initFromString("Model [type = NL]:\nVars:\nx = (\nend\n")
    assert model.getSolverInterface().solve() == sh.Solution.SolutionError
    flush_c_stdout()
    assert capfd.readouterr().out == ""


def test_messages_name_status_symbols_and_symbols_read_before_the_declarations(capfd, released_models):
    header = "Header:\nmaxIter = 50\nend\n"
    loads = [
        (sh.createRealStaticModel(sh.StaticProblem.NLE, sh.getConsoleLogger()),
         "Model [type = NL]:\nVars:\nx = 1\nParams:\np = 0\nNLEs:\nx = 2\nPostProc:\np = (x)repeat#\n", "repeat#"),
        (sh.createComplexStaticModel(sh.StaticProblem.NLE, sh.getConsoleLogger()),
         "Model [type = NL, domain = cmplx]:\nVars:\nIa = 1\nParams:\nPl = 1\nNLEs:\nIa = 2\nPostProc:\n"
         "Pl = Pl*conj(Ia)baseIter#\n", "baseIter#"),
        (sh.createRealDynamicModel(sh.DynamicProblem.DAE, sh.getConsoleLogger()),
         "Model [type = DAE, method = Trapez]:\nVars:\ny = 0\nParams:\nu = 1\nK = 2\nTFs:\n"
         "y / u = (2K*s + 1)/(s + 1)\n", "K"),
    ]
    for model, text, name in loads:
        released_models.append(model)
        assert not model.initFromString(header + text + "end\n")
        flush_c_stdout()
        assert f"msg=@ET.LabelAfterOperand: {name}\n" in capfd.readouterr().out


@pytest.mark.parametrize("create, vector", [(sh.createRealStaticModel, sh.DoubleVector),
                                            (sh.createComplexStaticModel, sh.ComplexVector)])
def test_repetitions_and_sub_models_follow_the_solve(create, vector, released_models):
    # Three repetitions by the repetition number; maxReps only stops a run that would not end.
    reps = create(sh.StaticProblem.NLE)
    released_models.append(reps)
    assert reps.initFromString("Header:\nmaxIter = 50\nmaxReps = 20\nend\nModel [type = NL]:\nVars:\nx = 0\n"
                               "Params:\nn = 0\nNLEs:\nx = n\nPostProc:\nn += 1\n"
                               "Repeats:\nif repeat# < 2\n    repeat\nend\nend\n")
    assert reps.getSolverInterface().solve() == sh.Solution.OK
    assert list(reps.getAllParameterValues()) == [3]

    # The sub-model solves with the parent's parameter as set just before the solve.
    model = create(sh.StaticProblem.NLE)
    released_models.append(model)
    assert model.initFromString("Header:\nmaxIter = 50\nend\nModel [type = NL]:\nVars:\nx = 0\nParams:\np = 3\n"
                                "q = 0\nSubModel [type = NL, copyPars = 1]:\nVars:\nu = 0\nNLEs:\nu = 2*p\n"
                                "PostProc:\n@main.q = u\nend\nNLEs:\nx = q\nend\n")
    for p in (5, -2):
        assert set_parameter(model, "p", p, vector)
        assert model.getSolverInterface().solve() == sh.Solution.OK
        assert list(model.getVariableValues()) == pytest.approx([2 * p], abs=1e-12)


def test_a_group_outside_the_model_type_fails_the_load_and_the_model_lives_on(capfd, released_models):
    header = "Header:\nmaxIter = 50\nend\n"
    nl = header + "Model [type = NL]:\nVars:\nx = 0\nODEs:\nx' = 1\nend\n"  # ODEs: line 7, column 1
    wls = header + "Model [type = WLS]:\nVars:\nx = 0\nWLSEs:\nx = 1\n  ODEs:\nx' = 1\nend\n"  # line 9, column 3
    loads = [(sh.createRealDynamicModel(sh.DynamicProblem.ODE, sh.getConsoleLogger()), nl, 7, 1),
             (sh.createRealDynamicModel(sh.DynamicProblem.DAE, sh.getConsoleLogger()), nl, 7, 1),
             (sh.createRealStaticModel(sh.StaticProblem.WLS, sh.getConsoleLogger()), wls, 9, 3),
             (sh.createComplexStaticModel(sh.StaticProblem.WLS, sh.getConsoleLogger()), wls, 9, 3)]
    released_models.extend(model for model, *_ in loads)
    for model, text, line, column in loads:
        assert not model.initFromString(text)
        flush_c_stdout()
        out = capfd.readouterr().out
        assert out.startswith(f"Error! LineNo={line}, colNo={column}, msg=@SC.GroupNotInModelType\n"), out

    # Each model loads and runs a text that fits it afterwards.
    ode, dae, real_wls, complex_wls = (model for model, *_ in loads)
    for model in (ode, dae):
        assert model.initFromString(header + "Model [type = ODE]:\nVars:\nx = 1\nODEs:\nx' = -x\nend\n")
        assert model.getSolverInterface().reset(0.0)
        assert model.getSolverInterface().step(10) == sh.Solution.OK
        assert 0 < model.getVariableValues()[0] < 1
    for model in (real_wls, complex_wls):
        assert model.initFromString(header + "Model [type = WLS]:\nVars:\nx = 0\nWLSEs:\nx = 1\nx = 3\nend\n")
        assert model.getSolverInterface().solve() == sh.Solution.OK
        assert model.getVariableValues()[0] == pytest.approx(2)


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
