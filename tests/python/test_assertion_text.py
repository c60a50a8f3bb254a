"""quote_value and statement_text: values and statements as assertion reports show them."""

import inspect

import pytest

import mirtova
from mirtova import _mirtova

# Every function of the module, in the order the module adds them; the module
# holds a prefix-preserving subset while some are still to come.
MODULE_ORDER = [
    "SUPPORTED_ENGINES", "parse", "compile", "search", "compile_all", "check", "assertions", "counterexamples",
    "plan", "quote_value", "statement_text", "reserved_predicates", "builtin_functions", "front_matter",
]


def test_functions_are_added_in_module_order():
    assert [name for name in MODULE_ORDER if name in _mirtova.__all__] == _mirtova.__all__
    assert {"quote_value", "statement_text"} <= set(_mirtova.__all__)


@pytest.mark.parametrize("fn", ["quote_value", "statement_text"])
def test_signature_and_calling(fn):
    f = getattr(mirtova, fn)
    assert str(inspect.signature(f)) == "(text)"
    assert f(text="a") == f("a")
    with pytest.raises(TypeError) as e:
        f()
    assert str(e.value) == f"{fn}() missing 1 required positional argument: 'text'"
    with pytest.raises(TypeError) as e:
        f("a", "b")
    assert str(e.value) == f"{fn}() takes 1 positional arguments but 2 were given"


def test_docstrings():
    assert mirtova.quote_value.__doc__.startswith(
        "A database value as a report shows it: a double-quoted literal, its line\n")
    assert mirtova.statement_text.__doc__ == (
        "An assertion's statement as a report shows it: on one line, the\n"
        "characters `quote_value` escapes escaped.")


@pytest.mark.parametrize("fn", ["quote_value", "statement_text"])
@pytest.mark.parametrize("value, exc, message", [
    ("\ud800", UnicodeEncodeError, None),
    ("a\udfffb", UnicodeEncodeError, None),
    (None, TypeError, "'None' is not an instance of 'str'"),
    (b"a", TypeError, "'bytes' object is not an instance of 'str'"),
])
def test_conversion_errors_carry_a_note(fn, value, exc, message):
    with pytest.raises(exc) as e:
        getattr(mirtova, fn)(value)
    if message is not None:
        assert str(e.value) == message
    assert e.value.__notes__ == ["while processing 'text'"]


def esc(code):
    return "\\u{%04x}" % code


# (text, quote_value, statement_text), each worked out by hand.
ROWS = [
    ("", '""', ""),
    ("plain text", '"plain text"', "plain text"),
    ('say "hi"', '"say \\"hi\\""', 'say "hi"'),
    ("back\\slash", '"back\\\\slash"', "back\\\\slash"),
    ("  a\n\tb  ", '"  a\\n\\tb  "', "a b"),
    ("a\r\nb", '"a\\r\\nb"', "a b"),
    ("a\u2028b\u2029c", f'"a{esc(0x2028)}b{esc(0x2029)}c"', "a b c"),
    ("a\u0085b", f'"a{esc(0x85)}b"', "a b"),
    ("a\u00a0b\u202fc\u3000d", '"a\u00a0b\u202fc\u3000d"', "a b c d"),
    ("soft\u00adhyphen", '"soft\u00adhyphen"', "soft\u00adhyphen"),
    ("\x00\x01\x1f\x7f\x80\x9f", '"' + "".join(esc(c) for c in (0, 1, 0x1F, 0x7F, 0x80, 0x9F)) + '"',
     "".join(esc(c) for c in (0, 1, 0x1F, 0x7F, 0x80, 0x9F))),
    ("\x0b\x0c", f'"{esc(0x0B)}{esc(0x0C)}"', ""),  # white space to a statement, control to a value
    ("\u200b\u200c\u200d\u200e\u200f", '"' + "".join(esc(c) for c in range(0x200B, 0x2010)) + '"',
     "".join(esc(c) for c in range(0x200B, 0x2010))),
    ("\u202a\u202e\u2060\u2066\u2069\ufeff\ufff9\ufffb",
     '"' + "".join(esc(c) for c in (0x202A, 0x202E, 0x2060, 0x2066, 0x2069, 0xFEFF, 0xFFF9, 0xFFFB)) + '"',
     "".join(esc(c) for c in (0x202A, 0x202E, 0x2060, 0x2066, 0x2069, 0xFEFF, 0xFFF9, 0xFFFB))),
    # Just outside the escaped ranges.
    ("~\u200a\u2010\u2027\u205f\u206a\ufefe\ufff8\ufffc\U0001f600\U0010ffff",
     '"~\u200a\u2010\u2027\u205f\u206a\ufefe\ufff8\ufffc\U0001f600\U0010ffff"',
     "~ \u2010\u2027 \u206a\ufefe\ufff8\ufffc\U0001f600\U0010ffff"),
    ("\u2200 x, P x \u2192 x \u2265 0", '"\u2200 x, P x \u2192 x \u2265 0"', "\u2200 x, P x \u2192 x \u2265 0"),
]


@pytest.mark.parametrize("text, quoted, statement", ROWS)
def test_quoting(text, quoted, statement):
    assert mirtova.quote_value(text) == quoted
    assert mirtova.statement_text(text) == statement


@pytest.mark.parametrize("text, quoted", [
    ("a" * 200, '"' + "a" * 200 + '"'),
    ("a" * 201, '"' + "a" * 200 + '"\u2026 (1 more characters)'),
    ("b" * 1000, '"' + "b" * 200 + '"\u2026 (800 more characters)'),
    # Counted in characters, not bytes.
    ("\u00e9" * 150, '"' + "\u00e9" * 150 + '"'),
    ("\U0001f600" * 201, '"' + "\U0001f600" * 200 + '"\u2026 (1 more characters)'),
    # The escapes of the kept characters lengthen the text but not the count;
    # the cut part is never escaped.
    ("\n" * 250, '"' + "\\n" * 200 + '"\u2026 (50 more characters)'),
    ("a" * 199 + '"' + "\u2028", '"' + "a" * 199 + '\\""\u2026 (1 more characters)'),
])
def test_long_values_are_cut_at_200_characters(text, quoted):
    assert mirtova.quote_value(text) == quoted


def test_statement_text_keeps_long_statements_whole():
    statement = "P x \u2227 " * 100 + "Q"
    assert mirtova.statement_text(statement + "\n") == statement
