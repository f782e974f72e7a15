# Helpers shared by the module's tests: the example models, the C standard output and the
# signature of a bound function as pybind11 writes it into the docstring.
import ctypes
import pathlib

import pytest

MODELS = pathlib.Path(__file__).resolve().parents[2] / "examples" / "models"


def flush_c_stdout():
    """The console logger writes through C stdio; flush it so capfd sees every line."""
    ctypes.CDLL(None).fflush(None)


def signature(fn):
    """(argument names with their defaults, docstring) of a function of one overload."""
    first, _, doc = fn.__doc__.partition("\n")
    inner = first[first.index("(") + 1 : first.rindex(") ->")]
    args = []
    for param in filter(None, inner.split(", ")):
        name, _, rest = param.partition(": ")
        if name != "self":
            default = rest.partition(" = ")[2]
            args.append(f"{name}={default}" if default else name)
    return args, doc.strip()


@pytest.fixture
def released_models():
    """Models to release when the test ends, whatever its outcome."""
    models = []
    yield models
    for model in models:
        model.release()
