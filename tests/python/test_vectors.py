# The four vector classes: texts, the index rule, sizes, copies and iteration.
import pytest
import simHostPy as sh

# Each class with three sample values and its zero.
CLASSES = [(sh.DoubleVector, [1.5, -2.0, 3.25], 0.0), (sh.ComplexVector, [1 + 2j, -0.5j, 3], 0j),
           (sh.UintVector, [7, 0, 4294967295], 0), (sh.StringVector, ["a", "", "b c"], "")]


def values(v):
    return [str(x) if isinstance(x, sh.String) else x for x in v]


def make(cls, items):
    v = cls(len(items))
    for i, x in enumerate(items):
        v[i] = x
    return v


@pytest.mark.parametrize("cls, items, rep, text", [
    (sh.DoubleVector, [1.5, -2], "[1.500000, -2.000000]", "1.5 -2"),
    (sh.DoubleVector, [0.1, 1e-07, 1234567], "[0.100000, 0.000000, 1234567.000000]", "0.1 1e-07 1.23457e+06"),
    (sh.ComplexVector, [1 + 2j, 0.5 - 1.25j], "[(1,2), (0.5,-1.25)]", "(1,2) (0.5,-1.25)"),
    (sh.UintVector, [0, 4294967295], "[0, 4294967295]", "0 4294967295"),
    (sh.StringVector, ["a", "", "b c"], "[a, , b c]", "a  b c"),
    (sh.StringVector, ["\u00e9t\u00e9"], "[\u00e9t\u00e9]", "\u00e9t\u00e9"),
    (sh.UintVector, [], "[]", ""),
])
def test_repr_and_str(cls, items, rep, text):
    v = make(cls, items)
    assert (repr(v), str(v)) == (rep, text)
    with pytest.raises(UnicodeDecodeError):
        repr(make(sh.StringVector, [b"\xff"]))


@pytest.mark.parametrize("cls, items, zero", CLASSES)
def test_index_rule_sizes_and_fresh_elements(cls, items, zero):
    assert values(cls(size=3)) == [zero] * 3
    v = make(cls, items)
    assert values(v[i] for i in (-1, -3, 0, 2)) == [items[2], items[0], items[0], items[2]]
    for index in (-4, 3, 2**40):
        for access in (lambda: v[index], lambda: v.__setitem__(index, items[0])):
            with pytest.raises(IndexError) as error:
                access()
            assert str(error.value) == ""
    v[-2] = items[0]
    v.resize(newSize=2)  # never shrinks
    assert values(v) == [items[0], items[0], items[2]]
    v.resize(5)
    assert values(v) == [items[0], items[0], items[2], zero, zero]
    v.reserve(size=5)
    assert len(v) == v.size() == 5
    v.reserve(4)
    assert values(v) == [zero] * 4
    v.setAll(value=items[2])
    assert values(v) == [items[2]] * 4 and values([v.data()]) == [items[2]]
    v.zeros()
    assert values(v) == [zero] * 4 and not v.empty()
    v.reserve(0)
    assert (v.size(), v.empty(), v.data(), cls().empty(), cls(0).data()) == (0, True, None, True, None)


@pytest.mark.parametrize("cls, items, zero", CLASSES)
def test_take_data_from_and_copy(cls, items, zero):
    v = make(cls, items + [zero, zero])
    v.takeDataFrom(other=make(cls, items[1:]))
    v.takeDataFrom(v)
    with pytest.raises(ValueError):
        make(cls, items).takeDataFrom(v)
    assert values(v) == [items[1], items[2], items[2], zero, zero]
    for other in (list(items), sh.DoubleVector(1) if cls is not sh.DoubleVector else sh.UintVector(1), None):
        with pytest.raises(TypeError):
            v.takeDataFrom(other)
    c = v.copy()
    c[0] = items[0]
    assert type(c) is cls and values(c) == [items[0]] + values(v)[1:] and values(v)[0] == items[1]


@pytest.mark.parametrize("cls, items, zero", CLASSES)
def test_iterators_follow_the_vector_as_it_changes(cls, items, zero):
    assert list(cls()) == [] and values(iter(make(cls, items))) == items  # the iterator keeps its vector
    v = make(cls, items)
    it = iter(v)
    next(it)
    v.resize(4)
    assert values(it) == items[1:] + [zero]
    it = iter(v)
    next(it)
    v.reserve(6)
    assert values(it) == [zero] * 5
    it = iter(v)
    next(it)
    v.clean()
    for grow in (0, 3):  # once done, done for good
        v.resize(grow)
        with pytest.raises(StopIteration):
            next(it)


def test_string_items_are_values_of_their_own():
    v = make(sh.StringVector, ["first", "second"])
    first, second, items = v[0], v.data(), list(v)
    v[0] = "replaced"
    v.clean()
    del v
    assert [str(first), str(second), str(items[1])] == ["first", "first", "second"]


def test_element_conversions():
    u, d, c = sh.UintVector(1), sh.DoubleVector(1), sh.ComplexVector(1)
    for bad in (-1, 2**32, 1.5, "1"):
        with pytest.raises(TypeError):
            u[0] = bad
    d[0], c[0] = 3, 2.5
    assert (u[0], d[0], type(d[0]), c[0]) == (0, 3.0, float, 2.5 + 0j)
    with pytest.raises(TypeError):
        sh.DoubleVector(-1)
