# The rules of the language and the solvers as a user meets them, end to end through the
# module: the iteration limit, eps, measurement weights, where a sub-model stands, the
# bounds of lim, the complex domain, logical operators and when statements run.
import pytest
import simHostPy as sh
from conftest import flush_c_stdout

STATIC = [sh.createRealStaticModel, sh.createComplexStaticModel]
VECTOR = {sh.createRealStaticModel: sh.DoubleVector, sh.createComplexStaticModel: sh.ComplexVector}


def named(names, values):
    return dict(zip(str(names).split(), values))


def parameters(model):
    return named(model.getParameterNames(), model.getAllParameterValues())


def real(value):
    return value.real if isinstance(value, complex) else value


def load(model, text, released_models):
    released_models.append(model)
    return model.initFromString(text)


def console(capfd):
    flush_c_stdout()
    return capfd.readouterr().out


# x*x = 2 from x = 10000 with eps = 1e-10 takes 61 damped Newton iterations.
def sqrt_model(header, model_line=""):
    return (f"Header:\n{header}\nend\nModel [type = NL, eps = 1e-10{model_line}]:\nVars:\nx = 10000\n"
            "NLEs:\nx*x = 2\nend\n")


@pytest.mark.parametrize("create", STATIC)
def test_the_headers_iteration_limit_acts_and_gives_way_only_below_2(create, capfd, released_models):
    OK, MAX = sh.Solution.OK, sh.Solution.MaximumIteration
    cases = [
        # The header's value, whatever the model line and the factory say; 200 without one.
        ("maxIter = 60", ", maxIter = 1000", 1000, MAX),
        ("maxIter = 61", ", maxIter = 10", 10, OK),
        ("report = All", ", maxIter = 10", 10, OK),
        ("maxIter = 2", ", maxIter = 61", 61, MAX),
        # Below 2: the model line's, else the factory's limit.
        ("maxIter = 1", ", maxIter = 61", 10, OK),
        ("maxIter = 1", ", maxIter = 60", 1000, MAX),
        ("maxIter = 0", "", 61, OK),
        ("maxIter = -5", "", 60, MAX),
    ]
    for header, model_line, factory, status in cases:
        model = create(sh.StaticProblem.NLE, sh.getConsoleLogger(), factory)
        assert load(model, sqrt_model(header, model_line), released_models)
        assert model.getSolverInterface().solve() == status, (header, model_line, factory)
        warnings = [line for line in console(capfd).splitlines() if line.startswith("Warning!")]
        below2 = header in ("maxIter = 1", "maxIter = 0", "maxIter = -5")
        assert len(warnings) == below2 and all("Too small value for maxIter!" in w for w in warnings), warnings

    # A sub-model's limit is its own line's, 100 without one; the header does not reach it.
    # From 1e15 it takes 149 iterations.
    FAILED = sh.Solution.SubmodelFailed
    for sub_line, status in (("", FAILED), (", maxIter = 149", OK), (", maxIter = 148", FAILED)):
        model = create(sh.StaticProblem.NLE, None, 1000)
        assert load(model, "Header:\nmaxIter = 1000\nend\nModel [type = NL]:\nVars:\nx = 0\n"
                           f"SubModel [type = NL, eps = 1e-10{sub_line}]:\nVars:\nu = 1e15\nNLEs:\nu*u = 2\nend\n"
                           "NLEs:\nx = 1\nend\n", released_models)
        assert model.getSolverInterface().solve() == status, sub_line


@pytest.mark.parametrize("create", STATIC)
def test_eps_takes_a_number_and_refuses_a_word(create, capfd, released_models):
    # The tolerance as the solver uses it: reqEps# after a solve.
    for eps, used, message in (("1e-3", 1e-3, ""), ("1", 1.0, ""), ("0", 1e-6, ""),
                               ("-0.5", 1e-6, "Warning! LineNo=4, colNo=25, msg=@ML.NegativeEpsUseDefault\n")):
        model = create(sh.StaticProblem.NLE, sh.getConsoleLogger())
        assert load(model, f"Header:\nmaxIter = 50\nend\nModel [type = NL, eps = {eps}]:\nVars:\nx = 10\n"
                           "Params:\nused = 0\nNLEs:\nx = 2\nPostProc:\nused = reqEps#\nend\n", released_models)
        assert model.getSolverInterface().solve() == sh.Solution.OK
        assert real(parameters(model)["used"]) == used, eps
        assert console(capfd) == message, eps
    for eps, key, column in (("abc", "@ML.WrongEpsType", 25), ("true", "@ML.WrongEpsType", 25),
                             ('"1e-3"', "@ML.WrongEpsType", 26), ("2*1e-3", "@ML.ExpectedAttName", 26)):
        model = create(sh.StaticProblem.NLE, sh.getConsoleLogger())
        assert not load(model, f"Header:\nend\nModel [type = NL, eps = {eps}]:\nVars:\nx = 3\nNLEs:\nx = 2\nend\n",
                        released_models)
        assert console(capfd).startswith(f"Error! LineNo=3, colNo={column}, msg={key}\n"), eps


@pytest.mark.parametrize("create", STATIC)
def test_a_weight_stands_on_its_measurement(create, capfd, released_models):
    domain = ", domain = cmplx" if create is sh.createComplexStaticModel else ""
    # w multiplies the squared residual: x = (10 + w*20)/(1 + w) for x = 10 and x = 20 [w].
    cases = [
        ("p = -3", "WLSEs:\nx = 10\nx = 20 [w = 2]\n", 50 / 3),
        ("p = -3", "WLSEs:\nx = 10\nx = 20 [w = -2]\n", 30),  # the sign as written
        ("p = -3", "WLSEs:\nx = 10\nx = 20 [w = p]\n", 17.5),  # |p|
        ("p = -3", "WLSEs:\nx = 10\nx = 20 [w = nothing]\n", 15),  # no symbol: 1
        ("p = -3", "WLSEs:\nx = 10\nx = 20 [w = x]\n", 10),  # x's start value, 0
        ("p = -3", "WLSEs [w = 2]:\nx = 10\nx = 20\n", 15),  # the group line's w has no effect
    ]
    if domain:
        cases.append(("p = 3 + 4i", "WLSEs:\nx = 10\nx = 20 [w = p]\n", 55 / 3))  # the modulus 5
    for params, body, x in cases:
        model = create(sh.StaticProblem.WLS, sh.getConsoleLogger())
        assert load(model, f"Header:\nmaxIter = 50\nend\nModel [type = WLS{domain}, eps = 1e-12]:\nVars:\nx = 0\n"
                           f"Params:\n{params}\n{body}end\n", released_models), body
        solver = model.getSolverInterface()
        assert solver.solve() == sh.Solution.OK, body
        assert real(model.getVariableValues()[0]) == pytest.approx(x, abs=1e-9), body
        # A name's weight is its symbol's value when the model is loaded.
        indices, values = sh.UintVector(1), VECTOR[create](1)
        indices[0], values[0] = 0, 1
        assert model.setParameterValues(indices=indices, values=values)
        assert solver.solve() == sh.Solution.OK
        assert real(model.getVariableValues()[0]) == pytest.approx(x, abs=1e-9), body

    # A second measurement group is refused at its line.
    model = create(sh.StaticProblem.WLS, sh.getConsoleLogger())
    console(capfd)
    assert not load(model, f"Header:\nend\nModel [type = WLS{domain}]:\nVars:\nx = 0\nWLSEs [w = 2]:\nx = 1\nx = 2\n"
                           "WLSEs [w = 3]:\nx = 20\nend\n", released_models)
    assert console(capfd).startswith("Error! LineNo=9, colNo=1, msg=@ML.DblGroupInModel\n")


SUB = "SubModel [type = NL]:\nVars [out = true]:\nu = 0\nNLEs:\nu = 2\nPostProc:\n@main.q = u\nend\n"


@pytest.mark.parametrize("create", STATIC)
def test_a_sub_model_stands_after_the_declarations_and_hands_values_on_through_the_main_model(
        create, released_models):
    header = "Header:\nmaxIter = 50\nend\nModel [type = NL]:\n"
    model = create(sh.StaticProblem.NLE)
    assert load(model, header + "Vars [out = true]:\nx = 0\nParams:\nq = 0\n" + SUB + "NLEs:\nx = q\nend\n",
                released_models)
    assert model.getSolverInterface().solve() == sh.Solution.OK
    # The host sees the main model's symbols alone, and the value handed on to q.
    assert (str(model.getVariableNames()), str(model.getParameterNames())) == ("x", "q")
    assert str(model.getOutputSymbolNames(symbIndices=model.getOutputSymbolIndices())) == "x"
    assert (model.getVariableIndex("u"), model.getParameterIndex("u")) == (-1, -2)
    assert real(model.getVariableValues()[0]) == 2

    for text in ["Vars:\nx = 0\n" + SUB + "Params:\nq = 0\nNLEs:\nx = q\nend\n",  # before Params
                 "Vars:\nx = 0\nParams:\nq = 0\nNLEs:\nx = q\n" + SUB + "end\n",  # after NLEs
                 "Vars:\nx = 0\nParams:\nq = 0\nPreProc:\nq = 1\n" + SUB + "NLEs:\nx = q\nend\n",  # after PreProc
                 "Vars:\nx = 0\nParams:\nq = 0\n" + SUB + SUB + "NLEs:\nx = q\nend\n"]:  # two of them
        assert not load(create(sh.StaticProblem.NLE), header + text, released_models), text

    # It is solved in the first repetition of a solve, in every one with alwaysOn.
    for always_on, solves in (("", 1), (", alwaysOn = true", 3)):
        model = create(sh.StaticProblem.NLE)
        assert load(model, header + f"Vars:\nx = 0\nParams:\nk = 0\nSubModel [type = NL{always_on}]:\nVars:\n"
                                    "u = 0\nNLEs:\nu = 1\nPostProc:\n@main.k += 1\nend\nNLEs:\nx = 1\n"
                                    "Repeats:\nif repeat# < 2\nrepeat\nend\nend\n", released_models)
        assert model.getSolverInterface().solve() == sh.Solution.OK
        assert real(parameters(model)["k"]) == solves, always_on

    # A main-model variable assigned by the sub-model is the main model's to solve.
    model = create(sh.StaticProblem.NLE)
    assert load(model, header + "Vars:\nx = 0\nq = 0\n" + SUB + "NLEs:\nx = 1\nq = 5*x\nend\n", released_models)
    assert model.getSolverInterface().solve() == sh.Solution.OK
    assert [real(v) for v in model.getVariableValues()] == pytest.approx([1, 5], abs=1e-12)


@pytest.mark.parametrize("create", STATIC)
def test_lim_takes_numbers_and_names_as_bounds_and_passes_no_slope_beyond_them(create, released_models):
    def model_of(start, equation):
        return (f"Header:\nmaxIter = 50\nend\nModel [type = NL]:\nVars:\nx = {start}\ny = 0\nParams:\na = -1\n"
                f"b = 2\nNLEs:\n{equation}\ny = 1\nend\n")

    for bounds in ("-1, 2", "a, b", "-1, pi", "-1, e"):
        model = create(sh.StaticProblem.NLE)
        assert load(model, model_of(0, f"lim(x, {bounds}) = 1"), released_models), bounds
        assert model.getSolverInterface().solve() == sh.Solution.OK, bounds
        assert real(model.getVariableValues()[0]) == pytest.approx(1, abs=1e-12)
    for bounds in ("-a, b", "a, 2*b", "(a), b", "y, b", "a, b + 0"):
        assert not load(create(sh.StaticProblem.NLE), model_of(0, f"lim(x, {bounds}) = 1"), released_models), bounds

    # At and beyond a bound the slope is 0: where nothing else reads the variable, a start
    # there finds a singular Jacobian.
    for start, equation, status in (("2", "lim(x, a, b) = 1", sh.Solution.FactorizationError),
                                    ("-1", "lim(x, a, b) = 1", sh.Solution.FactorizationError),
                                    ("1.999", "lim(x, a, b) = 1", sh.Solution.OK),
                                    ("60", "exp(lim(x, -50, 50)) = 2", sh.Solution.FactorizationError),
                                    ("0", "exp(lim(x, -50, 50)) = 2", sh.Solution.OK)):
        model = create(sh.StaticProblem.NLE)
        assert load(model, model_of(start, equation), released_models)
        assert model.getSolverInterface().solve() == status, (start, equation)


def test_the_complex_factory_needs_the_complex_domain_for_its_literals_and_functions(capfd, released_models):
    def text(domain, param, equation):
        return f"Header:\nend\nModel [type = NL{domain}]:\nVars:\nz = 1\nParams:\n{param}\nNLEs:\n{equation}\nend\n"

    # Without the domain the model computes in complex numbers all the same.
    model = sh.createComplexStaticModel(sh.StaticProblem.NLE, sh.getConsoleLogger())
    assert load(model, text("", "c = -4", "z = sqrt(c)"), released_models)
    assert model.getSolverInterface().solve() == sh.Solution.OK
    assert model.getVariableValues()[0] == pytest.approx(2j, abs=1e-12)
    for param, equation, line, column in (("c = 3 + 4i", "z^2 = c", 7, 10), ("c = 3", "z = conj(c)", 9, 5),
                                          ("c = 3", "z = imag(c)", 9, 5)):
        console(capfd)
        model = sh.createComplexStaticModel(sh.StaticProblem.NLE, sh.getConsoleLogger())
        assert not load(model, text("", param, equation), released_models)
        assert console(capfd).startswith(f"Error! LineNo={line}, colNo={column}, msg=@ML.UnknownLbl\n"), param
        model = sh.createComplexStaticModel(sh.StaticProblem.NLE)
        assert load(model, text(", domain = cmplx", param, equation), released_models)
        assert model.getSolverInterface().solve() == sh.Solution.OK


@pytest.mark.parametrize("create", STATIC)
def test_logical_operators_and_their_precedence(create, capfd, released_models):
    domain = ", domain = cmplx" if create is sh.createComplexStaticModel else ""
    cases = [("1 && 0", 0), ("0.5 && -2", 1), ("1 || 0", 1), ("0 || 0", 0), ("1 ## 1", 0), ("1 ## 0", 1),
             ("!1", 0), ("not 0", 1), ("1 || 1 && 0", 1), ("1 xor 1 and 0", 1), ("x > 3 && 1", 0),
             ("x > 1 && x < 3", 1), ("not x > 5", 0), ("not (x > 5)", 1), ("not (sin(x))", 0)]
    for expr, value in cases:
        model = create(sh.StaticProblem.NLE)
        assert load(model, f"Header:\nend\nModel [type = NL{domain}]:\nVars:\nx = 2\nParams:\nr = -1\nbranch = -1\n"
                           f"NLEs:\nx = 2\nPostProc:\nr = {expr}\nif {expr}\nbranch = 1\nelse\nbranch = 0\nend\nend\n",
                    released_models), expr
        assert model.getSolverInterface().solve() == sh.Solution.OK
        assert [real(parameters(model)[n]) for n in ("r", "branch")] == [value, value], expr
    model = create(sh.StaticProblem.NLE, sh.getConsoleLogger())
    assert not load(model, f"Header:\nend\nModel [type = NL{domain}]:\nVars:\nx = 2\nParams:\nr = 0\nNLEs:\nx = 2\n"
                           "PostProc:\nr = not sin(x)\nend\n", released_models)
    assert "msg=@ET.OperatorWoOprnd\n" in console(capfd)


@pytest.mark.parametrize("create", STATIC)
def test_statements_run_around_each_repetition_of_a_static_solve(create, released_models):
    # PreProc twice, PostProc once; a static solve has no times.
    counted = "PreProc:\nn += 1\nPostProc:\nk += 1\nstart = startT#\nend1 = endT#\n"
    bodies = [
        ("NLE", "NL", "NLEs:\nx = 2\n" + counted, 1),
        ("WLS", "WLS", "WLSEs:\nx = 2\nx = 3\n" + counted, 1),
        ("NLE", "NL", "NLEs:\nx = 2\n" + counted + "Repeats:\nif repeat# < 2\nrepeat\nend\n", 3),
    ]
    for problem, kind, body, repetitions in bodies:
        model = create(getattr(sh.StaticProblem, problem))
        assert load(model, f"Header:\nmaxIter = 50\nend\nModel [type = {kind}]:\nVars:\nx = 0\nParams:\nn = 0\n"
                           f"k = 0\nstart = -1\nend1 = -1\n{body}end\n",
                    released_models)
        for solves in (1, 2):
            assert model.getSolverInterface().solve() == sh.Solution.OK
            assert [real(v) for v in model.getAllParameterValues()] == [2 * solves * repetitions,
                                                                        solves * repetitions, 0, 0], body

    # The first run comes before the sub-model's solve, the second after it: the sub-model
    # reads p as the first run set it, and r takes what the sub-model handed on.
    model = create(sh.StaticProblem.NLE)
    assert load(model, "Header:\nmaxIter = 50\nend\nModel [type = NL]:\nVars:\nx = 0\nParams:\np = 0\nq = 0\nr = 0\n"
                       "n = 0\nSubModel [type = NL]:\nVars:\nu = 0\nNLEs:\nu = 10*@main.p\nPostProc:\n@main.q = u\n"
                       "end\nNLEs:\nx = r\nPreProc:\nn += 1\np = n\nr = q\nend\n", released_models)
    for solve in (1, 2):
        assert model.getSolverInterface().solve() == sh.Solution.OK
        p, q, r, n = (real(v) for v in model.getAllParameterValues())
        assert (p, q, r, n) == (2 * solve, 10 * (2 * solve - 1), 10 * (2 * solve - 1), 2 * solve)


@pytest.mark.parametrize("problem, kind, runs", [(sh.DynamicProblem.DAE, "DAE", 1), (sh.DynamicProblem.ODE, "ODE", 2)])
def test_a_time_step_runs_its_statements_and_reads_the_simulations_times(problem, kind, runs, released_models):
    model = sh.createRealDynamicModel(problem)
    assert load(model, f"Header:\nmaxIter = 50\ndTime = 0.1\nend\nModel [type = {kind}]:\nVars:\nx = 1\nParams:\n"
                       "n = 0\nk = 0\nstart = -1\nend1 = -1\nODEs:\nx' = -x\nPreProc:\nn += 1\n"
                       "PostProc:\nk += 1\nstart = startT#\nend1 = endT#\nend\n",
                released_models)
    solver = model.getSolverInterface()
    assert solver.reset(0.5)
    assert {n: parameters(model)[n] for n in ("n", "k")} == {"n": 0, "k": 0}
    assert solver.step(3) == sh.Solution.OK
    values = parameters(model)
    assert (values["n"], values["k"]) == (3 * runs, 3)
    # A DAE's reset writes its start and an end that never comes; an ODE model writes neither.
    assert (values["start"], values["end1"]) == ((0.5, 1.7976931348623157e308) if kind == "DAE" else (0, 0))


@pytest.mark.parametrize("problem, kind, handed_on",
                         [(sh.DynamicProblem.DAE, "DAE", 2), (sh.DynamicProblem.ODE, "ODE", 0)])
def test_a_dae_model_solves_its_sub_model_at_reset_and_an_ode_model_never(problem, kind, handed_on, released_models):
    model = sh.createRealDynamicModel(problem)
    assert load(model, f"Header:\nmaxIter = 50\ndTime = 0.1\nend\nModel [type = {kind}]:\nVars:\nx = 0\nParams:\n"
                       "q = 0\nSubModel [type = NL]:\nVars:\nu = 0\nNLEs:\nu = 2 + @main.x\nPostProc:\n@main.q = u\n"
                       "end\nODEs:\nx' = q\nend\n", released_models)
    solver = model.getSolverInterface()
    assert solver.reset(0.0)
    assert parameters(model)["q"] == handed_on
    assert solver.step(3) == sh.Solution.OK
    assert parameters(model)["q"] == handed_on
    assert model.getVariableValues()[0] == pytest.approx(0.3 * handed_on, abs=1e-12)
