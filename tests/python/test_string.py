# String: construction, byte and glyph lengths, strict decoding, and String arguments.
import pytest
import simHostPy as sh


@pytest.mark.parametrize("make", [lambda: sh.String(), lambda: sh.String(""), lambda: sh.String(None),
                                  lambda: sh.String("\0abc"), lambda: sh.String(b"")])
def test_empty_strings(make):
    s = make()
    assert (s.length(), s.glyphLength(), s.c_str(), str(s), repr(s)) == (0, 0, "", "", "")


@pytest.mark.parametrize("arg, length, glyphs, text", [
    ("abc", 3, 3, "abc"),
    ("\u00e9abc", 5, 4, "\u00e9abc"),
    ("\U0001F600", 4, 1, "\U0001F600"),
    ("ab\0cd", 2, 2, "ab"),                     # the text ends at its first zero byte
    (b"x y", 3, 3, "x y"),
    (bytearray(b"\xc3\xa9"), 2, 1, "\u00e9"),
    (b"\xe2\x82", 2, 1, None),                  # a sequence cut short counts as one glyph
    (b"\x80\x80", 2, 2, None),                  # stray continuation bytes count one each
    (b"\xff", 1, 1, None),
])
def test_lengths_and_strict_decoding(arg, length, glyphs, text):
    s = sh.String(arg)
    assert (s.length(), s.glyphLength()) == (length, glyphs)
    if text is not None:
        assert s.c_str() == str(s) == repr(s) == text
        return
    for read in (s.c_str, s.__str__, s.__repr__):
        with pytest.raises(UnicodeDecodeError):
            read()


def test_refused_constructor_arguments():
    for arg in (5, 1.5, sh.String("a"), ["a"]):
        with pytest.raises(TypeError):
            sh.String(arg)
    # The length field of a text holds 28 bits.
    with pytest.raises(ValueError):
        sh.String(b"a" * (1 << 28))


def test_model_arguments_take_texts_but_not_none(released_models):
    model = sh.createRealStaticModel(sh.StaticProblem.NLE)
    released_models.append(model)
    assert model.initFromString("Header:\nend\nModel [type = NL]:\nVars:\nx = 1\ny = 2\nNLEs:\nx = 2\ny = x\nend\n")
    assert [model.getVariableIndex(name) for name in ("y", b"y", bytearray(b"x"), sh.String("x"), "", "q")] == \
           [1, 1, 0, 0, -1, -1]
    # pybind11 2.10 refuses None for a reference argument as an argument mismatch.
    with pytest.raises(TypeError):
        model.getVariableIndex(None)
    with pytest.raises(TypeError):
        model.initFromString(content=None)


def test_a_text_too_long_for_a_string_raises_a_short_value_error_wherever_a_string_is_taken(released_models):
    model = sh.createRealStaticModel(sh.StaticProblem.NLE)
    released_models.append(model)
    assert model.initFromString("Header:\nend\nModel [type = NL]:\nVars:\nx = 1\nNLEs:\nx = 2\nend\n")
    names = sh.StringVector(1)
    calls = (sh.String, model.initFromString, lambda t: model.initFromString(content=t), model.getParameterIndex,
             lambda t: names.__setitem__(0, t))
    # One byte more than a String holds: ASCII, then two bytes a character; a zero byte ends a
    # text, so one before the limit makes a text that fits.
    big = "a" * (1 << 28)
    for call in calls:
        with pytest.raises(ValueError) as raised:
            call(big)
        assert raised.type is ValueError and str(raised.value) == "String is longer than 268435455 bytes"
    del big
    big = "\u00e9" * (1 << 27)
    for call in calls:
        with pytest.raises(ValueError) as raised:
            call(big)
        assert len(str(raised.value)) < 200
    del big
    big = bytearray(1 << 28)
    big[:3] = b"q\0q"
    assert sh.String(big).length() == 1
    assert model.getVariableIndex(big) == -1
    del big
    # The model and the vector are as they were.
    assert model.getVariableIndex("x") == 0 and names[0].length() == 0
    assert model.getSolverInterface().solve() == sh.Solution.OK
