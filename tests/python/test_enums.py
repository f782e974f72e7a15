# Enums, classes that Python cannot create, and the value getters' errors.
import pytest
import simHostPy as sh
from conftest import MODELS


@pytest.mark.parametrize("enum, members", [
    (sh.Solution, {"OK": 0, "BaseOK": 1, "Iterating": 2, "LimitFix": 3, "NewPass": 4, "EmptyMatrix": 5,
                   "FactorizationError": 6, "SolutionError": 7, "Oscillation": 8, "NoImprovement": 9,
                   "MaximumIteration": 10, "SubmodelFailed": 11}),
    (sh.StaticProblem, {"NLE": 0, "WLS": 1}),
    (sh.DynamicProblem, {"ODE": 0, "DAE": 1}),
    (sh.ModelType, {"StaticReal": 0, "StaticComplex": 1, "DynamicReal": 2}),
])
def test_enum_members(enum, members):
    assert {name: int(value) for name, value in enum.__members__.items()} == members
    assert list(enum.__members__) == list(members)
    assert not hasattr(sh, next(iter(members)))  # members stay inside their enum


@pytest.mark.parametrize("create", [sh.createRealStaticModel, sh.createComplexStaticModel])
def test_every_solver_status_has_a_member(create, released_models):
    assert sorted(int(v) for v in sh.Solution.__members__.values()) == list(range(12))
    assert int(sh.Solution.MaximumIteration) == 10 and sh.Solution.Iterating.name == "Iterating"
    # Newton's steps on the arc tangent leave x = 2 further and further behind: the residual rises
    # twice above the no-improvement bound by the third step.
    model = create(sh.StaticProblem.NLE)
    released_models.append(model)
    assert model.initFromString("Header:\nmaxIter = 50\nend\nModel [type = NL]:\nVars:\nx = 2\nNLEs:\n"
                                "1e6*atg(x) = 0\nend\n")
    status = model.getSolverInterface().solve()
    assert status == sh.Solution.NoImprovement and status.name == "NoImprovement"


@pytest.mark.parametrize("cls", [sh.ILog, sh.SolutionOptions, sh.IStatic, sh.IDynamic, sh.IRealStaticModel,
                                 sh.IComplexStaticModel, sh.IRealDynamicModel])
def test_classes_without_constructors(cls):
    with pytest.raises(TypeError):
        cls()


def test_problems_outside_their_enum_give_no_model():
    assert sh.createRealStaticModel(sh.StaticProblem(7)) is None
    assert sh.createComplexStaticModel(problemType=sh.StaticProblem(255)) is None
    assert sh.createRealDynamicModel(sh.DynamicProblem(2), sh.getConsoleLogger(), 10) is None
    for wrong in (0, sh.DynamicProblem.ODE, None):
        with pytest.raises(TypeError):
            sh.createRealStaticModel(wrong)
    with pytest.raises(TypeError):
        sh.createRealStaticModel(sh.StaticProblem.NLE, maxIter=-1)


@pytest.mark.parametrize("create, vector", [(sh.createRealStaticModel, sh.DoubleVector),
                                            (sh.createComplexStaticModel, sh.ComplexVector)])
def test_value_getters_raise_value_error(create, vector, released_models):
    model = create(sh.StaticProblem.NLE)
    released_models.append(model)
    assert model.initFromFile(str(MODELS / "circleLine.txt"))
    outputs = model.getOutputSymbolIndices()
    assert repr(outputs) == "[0, 1]"
    empty = model.getParameterValues(sh.UintVector())
    assert type(empty) is vector and empty.size() == 0
    wrong = sh.UintVector(3)
    wrong[1] = 3
    with pytest.raises(ValueError, match="^Failed to get parameter values$"):
        model.getParameterValues(indices=wrong)
    for symbIndices in (sh.UintVector(1), sh.UintVector(3)):
        with pytest.raises(ValueError, match="^Failed to get output symbol values$"):
            model.getOutputSymbolValues(symbIndices)
    assert model.getOutputSymbolNames(sh.UintVector(1)).size() == 0
    with pytest.raises(TypeError):
        model.getOutputSymbolValues([0, 1])
