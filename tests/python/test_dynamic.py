# Weighted least squares and dynamic models end to end: estimated, a measurement changed and
# estimated again; ODE and DAE models reset and stepped against closed forms; a released
# dynamic model.
import pytest
import simHostPy as sh
from conftest import MODELS


def values(model, names_of, values_of):
    return dict(zip(str(names_of(model)).split(), values_of(model)))


def variables(model):
    return values(model, lambda m: m.getVariableNames(), lambda m: m.getVariableValues())


def parameters(model):
    return values(model, lambda m: m.getParameterNames(), lambda m: m.getAllParameterValues())


def set_parameter(model, name, value):
    indices, vals = sh.UintVector(1), sh.DoubleVector(1)
    indices[0], vals[0] = model.getParameterIndex(name), value
    return model.setParameterValues(indices=indices, values=vals)


def dynamic(problem, text, released_models):
    model = sh.createRealDynamicModel(problem, sh.getConsoleLogger(), 100)
    assert model is not None
    released_models.append(model)
    assert model.initFromString(text)
    return model, model.getSolverInterface()


def test_a_weighted_estimate_follows_its_measurement(released_models):
    model = sh.createRealStaticModel(sh.StaticProblem.WLS, sh.getConsoleLogger(), 50)
    released_models.append(model)
    assert model.initFromString("Header:\nmaxIter = 50\nend\nModel [type = WLS, eps = 1e-12]:\nVars:\nx = 0\n"
                                "Params:\nm = 10.4\nWLSEs:\nx = 10.1\nx = 9.9\nx = m [w = 2]\nend\n")
    solver = model.getSolverInterface()
    assert solver.solve() == sh.Solution.OK
    assert variables(model)["x"] == pytest.approx(10.2, abs=1e-12)
    assert set_parameter(model, "m", 11.0)
    assert solver.solve() == sh.Solution.OK
    assert variables(model)["x"] == pytest.approx(10.5, abs=1e-12)


def test_an_ode_oscillator_keeps_heuns_energy_rule(released_models):
    w, h = 2.0, 0.01
    model, solver = dynamic(sh.DynamicProblem.ODE,
                            f"Header:\ndTime = {h}\nend\nModel [type = ODE]:\nVars:\nx = 1\nv = 0\nParams:\nw = {w}\n"
                            "ODEs:\nx' = v\nv' = -w^2*x\nend\n", released_models)
    assert solver.getStepSize() == h
    assert solver.reset(0.0)
    e0 = w * w / 2
    for n in range(1, 5):
        assert solver.step(50) == sh.Solution.OK
        x, v = variables(model)["x"], variables(model)["v"]
        assert (w * w * x * x + v * v) / 2 == pytest.approx(e0 * (1 + (w * h) ** 4 / 4) ** (50 * n), rel=1e-12)
    params = parameters(model)
    assert params["dT"] == h
    assert params["t"] == pytest.approx(200 * h, abs=1e-12)


def test_a_dae_steps_by_the_trapezoid(released_models):
    model, solver = dynamic(sh.DynamicProblem.DAE,
                            "Header:\nmaxIter = 20\ndTime = 0.01\nend\nModel [type = DAE, method = Trapez, eps = 1e-12]:\n"
                            "Vars:\nx = 1\ny = 0\nODEs:\nx' = -2*x\nNLEs:\ny = 2*x\nend\n",
                            released_models)
    assert solver.getStepSize() == 0.01
    assert solver.reset(0.0)
    assert solver.step(100) == sh.Solution.OK
    x, y = variables(model)["x"], variables(model)["y"]
    assert x == pytest.approx((0.99 / 1.01) ** 100, abs=1e-12)
    assert y == pytest.approx(2 * x, abs=1e-12)
    assert parameters(model)["t"] == pytest.approx(1.0, abs=1e-12)


@pytest.mark.parametrize("method, stability", [("Euler", lambda z: 1 / (1 - z)),
                                               ("Trapez", lambda z: (1 + z / 2) / (1 - z / 2))])
def test_a_transfer_function_answers_a_step(method, stability, released_models):
    model, solver = dynamic(sh.DynamicProblem.DAE,
                            f"Header:\nmaxIter = 20\ndTime = 0.1\nend\nModel [type = DAE, method = {method}, "
                            "eps = 1e-12]:\nVars:\ny = 0\nu = 0\nTFs:\ny / u = 1/(s + 1)\nNLEs:\nu = 1\nend\n",
                            released_models)
    assert solver.reset(0.0)
    for n in range(1, 11):
        assert solver.step(1) == sh.Solution.OK
        assert variables(model)["y"] == pytest.approx(1 - stability(-0.1) ** n, abs=1e-12)


@pytest.mark.parametrize("method, body, big_step, name", [
    ("RK4", "Vars:\nx = 1\ny = 0\nODEs:\nx' = -x\nNLEs:\nexp(y) = exp(50*t)\n", 0.1, "Oscillation"),
    ("Euler", "Vars:\nx = 0\nODEs:\nx' = 1/(2.5 - t)\n", 2.48, "SolutionError")])
def test_a_failed_dae_step_keeps_its_start_and_a_smaller_step_goes_on(method, body, big_step, name,
                                                                        released_models):
    model, solver = dynamic(sh.DynamicProblem.DAE,
                            f"Header:\nmaxIter = 10\ndTime = 0.01\nend\nModel [type = DAE, method = {method}, "
                            "eps = 1e-12]:\n" + body + "end\n", released_models)
    assert solver.reset(0.0)
    assert solver.step(2) == sh.Solution.OK
    before = list(model.getVariableValues())
    solver.setStepSize(big_step)
    status = solver.step(1)
    assert status.name == name
    assert parameters(model)["t"] == 0.02
    assert list(model.getVariableValues()) == before
    solver.setStepSize(0.01)
    assert solver.step(1) == sh.Solution.OK
    assert parameters(model)["t"] == pytest.approx(0.03, abs=1e-15)


@pytest.mark.parametrize("ode, good, big_step", [("x' = -1000*x", 189, 0.01), ("x' = sqrt(c - t)", 2, 0.1)])
def test_a_failed_ode_step_keeps_its_start_and_a_smaller_step_goes_on(ode, good, big_step, released_models):
    # Heun multiplies x by 41 a step until it overflows; the root's argument turns negative.
    model, solver = dynamic(sh.DynamicProblem.ODE,
                            "Header:\ndTime = 0.01\nend\nModel [type = ODE]:\nVars:\nx = 1\nParams:\nc = 0.025\n"
                            f"ODEs:\n{ode}\nend\n", released_models)
    assert solver.reset(0.0)
    assert solver.step(good) == sh.Solution.OK
    solver.setStepSize(big_step)
    before = (list(model.getVariableValues()), list(model.getAllParameterValues()))
    for _ in range(2):
        assert solver.step(1) == sh.Solution.SolutionError
        assert (list(model.getVariableValues()), list(model.getAllParameterValues())) == before
    solver.setStepSize(0.001)
    assert solver.step(1) == sh.Solution.OK
    assert parameters(model)["t"] == pytest.approx(good * 0.01 + 0.001, abs=1e-12)
    assert variables(model)["x"] != before[0][0]


def test_the_example_dae_model_runs(released_models):
    model = sh.createRealDynamicModel(sh.DynamicProblem.DAE)
    released_models.append(model)
    assert model.initFromFile(str(MODELS / "massSpring.txt"))
    solver = model.getSolverInterface()
    assert solver.reset(0.0)
    assert solver.step(100) == sh.Solution.OK


@pytest.mark.parametrize("problem", [sh.DynamicProblem.ODE, sh.DynamicProblem.DAE])
def test_a_released_dynamic_model_refuses_its_calls(problem):
    model = sh.createRealDynamicModel(problem)
    solver = model.getSolverInterface()
    model.release()
    for call, args in ((solver.reset, [0.0]), (solver.step, [1]), (solver.getStepSize, []),
                       (solver.setStepSize, [0.1]), (model.getVariableValues, [])):
        with pytest.raises(RuntimeError, match="^Model has been released$"):
            call(*args)
