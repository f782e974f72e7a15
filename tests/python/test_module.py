# The module's surface: registration order, docstrings, keyword names and defaults.
import pytest
import simHostPy as sh
from conftest import signature

MODULE_NAMES = ["String", "DoubleVector", "ComplexVector", "UintVector", "StringVector", "Solution", "ILog",
                "StaticProblem", "IStatic", "DynamicProblem", "IDynamic", "SolutionOptions", "ModelType",
                "IRealStaticModel", "IComplexStaticModel", "IRealDynamicModel", "getConsoleLogger",
                "createRealStaticModel", "createComplexStaticModel", "createRealDynamicModel"]

LOADS = "required expression trees for Jacobians, implicit DAE solvers, etc"
MODEL_METHODS = [
    ("setSolutionOptions", ["options"], "Sets various solution options"),
    ("setLogger", ["pLog"], "Sets the logger. If null there will be no logging."),
    ("initFromFile", ["fileName"], "Loads model from file and creates all n" + LOADS),
    ("initFromString", ["content"], "Loads model from string variable and creates all n" + LOADS),
    ("getNumberOfVariables", [], "Returns number of variables in the main model."),
    ("getNumberOfParameters", [], "Returns number of parameters in the main model."),
    ("getVariableIndex", ["varName"], "Returns variable index for a given variable name."),
    ("getParameterIndex", ["paramName"], "Returns parameter index for a given parameter name."),
    ("getVariableNames", [], "Returns a vector with all variable names."),
    ("getParameterNames", [], "Returns a vector with all parameter names."),
    ("getOutputSymbolIndices", [], "Returns a vector with all output symbol indices."),
    ("getOutputSymbolNames", ["symbIndices"], "Returns a vector with all output symbol names."),
    ("getAllParameterValues", [], ""),
    ("getParameterValues", ["indices"], ""),
    ("getVariableValues", [], ""),
    ("getOutputSymbolValues", ["symbIndices"], ""),
    ("setVariableValues", ["values"], "Sets variable values"),
    ("setParameterValues", ["indices", "values"], "Set parameter values for selected indices."),
    ("getSolverInterface", [], "Returns solver interface (static or dynamic depending on the model type)"),
    ("release", [], "(Optional) Manually release the model and free the memory."),
]

# Overloaded members (None) are checked apart.
VECTOR_MEMBERS = [
    ("__init__", None, None),
    ("size", [], "Returns number of elements in vector"),
    ("empty", [], "Returns false if size == 0"),
    ("clean", [], "Release memory and sets size to zero"),
    ("__len__", [], ""),
    ("__getitem__", ["arg0"], ""),
    ("__setitem__", ["arg0", "arg1"], ""),
    ("reserve", ["size"], "Reserves specified number of elements"),
    ("resize", ["newSize"], "Changes size if it's not already at that size"),
    ("zeros", [], "Set all elements to zero"),
    ("setAll", ["value"], "Set all elements to specified value"),
    ("data", None, None),
    ("takeDataFrom", ["other"], "Copies data from another cnt::SafeFullVector"),
    ("copy", [], ""),
    ("__iter__", [], ""),
    ("__repr__", [], ""),
    ("__str__", [], ""),
]

SIMPLE_MEMBERS = [
    (sh.IStatic, [("solve", [], "Solves the static model")]),
    (sh.IDynamic, [
        ("reset", ["t0=0.0"], "Resets internal variables and time and solves initial value. User is responsible "
                              "to set other parameters before calling this method"),
        ("step", ["nSteps=1"], "Solves ODE/DAE equaitons nSteps times"),
        ("getStepSize", [], "Returns integraion step size"),
        ("setStepSize", ["arg0"], "Sets integration step size")]),
    (sh.String, [
        ("c_str", [], "Returns a pointer to the underlying C-string."),
        ("length", [], "Returns length of the string in bytes"),
        ("glyphLength", [], "Returns length of the string in number of glyphs"),
        ("__str__", [], ""),
        ("__repr__", [], "")]),
]


def registered(cls, names):
    """The names of cls's own attributes in the order they were registered."""
    return [name for name in vars(cls) if name in names]


def test_module_registers_in_order_with_its_docstring():
    assert sh.__doc__ == "Python bindings for simHostPy library"
    assert [name for name in vars(sh) if not name.startswith("__")] == MODULE_NAMES


@pytest.mark.parametrize("name, doc", [("createRealStaticModel", "Creates real valued static model."),
                                       ("createComplexStaticModel", "Creates complex valued static model."),
                                       ("createRealDynamicModel", "Creates real valued dynamid model.")])
def test_factories_take_their_keywords_and_defaults(name, doc):
    assert signature(getattr(sh, name)) == (["problemType", "pLog=None", "maxIter=1000"], doc)


@pytest.mark.parametrize("cls, returns", [(sh.IRealStaticModel, "IStatic"), (sh.IComplexStaticModel, "IStatic"),
                                          (sh.IRealDynamicModel, "IDynamic")])
def test_model_classes_answer_the_same_methods(cls, returns):
    names = [name for name, _, _ in MODEL_METHODS]
    assert registered(cls, names) == names
    for name, args, doc in MODEL_METHODS:
        assert signature(getattr(cls, name)) == (args, doc), name
    assert getattr(cls, "getSolverInterface").__doc__.split("\n")[0].endswith("simHostPy." + returns)


@pytest.mark.parametrize("cls, element", [(sh.DoubleVector, "float"), (sh.ComplexVector, "complex"),
                                          (sh.UintVector, "int"), (sh.StringVector, "simHostPy.String")])
def test_vector_classes_register_the_same_members(cls, element):
    names = [name for name, _, _ in VECTOR_MEMBERS]
    assert registered(cls, names) == names
    for name, args, doc in VECTOR_MEMBERS:
        if args is not None:
            assert signature(getattr(cls, name)) == (args, doc), name
    assert f"__setitem__(self: simHostPy.{cls.__name__}, arg0: int, arg1: {element}) -> None" in cls.__setitem__.__doc__
    assert f"1. __init__(self: simHostPy.{cls.__name__}) -> None" in cls.__init__.__doc__
    assert f"2. __init__(self: simHostPy.{cls.__name__}, size: int) -> None" in cls.__init__.__doc__
    assert cls.data.__doc__.count(f"data(self: simHostPy.{cls.__name__}) -> object") == 2


@pytest.mark.parametrize("cls, members", SIMPLE_MEMBERS)
def test_interfaces_and_string_members(cls, members):
    assert registered(cls, [name for name, _, _ in members]) == [name for name, _, _ in members]
    for name, args, doc in members:
        assert signature(getattr(cls, name)) == (args, doc), name
    assert sh.String.__doc__ == "Wrapper arround Pelto td::String"


def test_the_console_logger_is_one_object():
    assert signature(sh.getConsoleLogger) == ([], "")
    assert sh.getConsoleLogger() is sh.getConsoleLogger()
    assert isinstance(sh.getConsoleLogger(), sh.ILog)
