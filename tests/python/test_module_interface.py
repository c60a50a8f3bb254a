"""The module as a host sees it: its attributes, signatures and argument errors."""

import inspect
import re

import pytest

import mirtova
from mirtova import _mirtova

ENGINES = ["bigquery", "sqlite", "psql", "trino", "presto", "databricks", "duckdb"]


def test_module_attributes():
    assert _mirtova.SUPPORTED_ENGINES == ENGINES
    assert _mirtova.__doc__ == ""
    assert _mirtova.__all__[0] == "SUPPORTED_ENGINES"
    assert "parse" in _mirtova.__all__ and "front_matter" in _mirtova.__all__
    assert mirtova.parse is _mirtova.parse


def test_docstrings_name_only_what_the_package_has():
    for name in _mirtova.__all__:
        doc = getattr(mirtova, name).__doc__ or ""
        for named in re.findall(r"`mirtova\.(\w+)`", doc):
            assert hasattr(mirtova, named), f"{name} names mirtova.{named}"


@pytest.mark.parametrize(
    "fn, signature",
    [
        ("parse", "(source, file_name=None, engine=None, import_root=None)"),
        ("front_matter", "(source)"),
    ],
)
def test_signatures(fn, signature):
    assert str(inspect.signature(getattr(mirtova, fn))) == signature


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: mirtova.parse(), "parse() missing 1 required positional argument: 'source'"),
        (lambda: mirtova.parse("", None, None, None, None),
         "parse() takes from 1 to 4 positional arguments but 5 were given"),
        (lambda: mirtova.front_matter("", ""), "front_matter() takes 1 positional arguments but 2 were given"),
        (lambda: mirtova.parse("", nonsense=1), "parse() got an unexpected keyword argument 'nonsense'"),
        (lambda: mirtova.parse("", source=""), "parse() got multiple values for argument 'source'"),
    ],
)
def test_binding_errors(call, message):
    with pytest.raises(TypeError) as e:
        call()
    assert str(e.value) == message


@pytest.mark.parametrize(
    "kwargs, exc, message, param",
    [
        (dict(source=None), TypeError, "'None' is not an instance of 'str'", "source"),
        (dict(source=3), TypeError, "'int' object is not an instance of 'str'", "source"),
        (dict(source="", import_root="dir"), TypeError, "Can't extract `str` to `Vec`", "import_root"),
        (dict(source="", import_root={"a"}), TypeError, "'set' object is not an instance of 'Sequence'", "import_root"),
        (dict(source="", import_root=["a", 1]), TypeError, "'int' object is not an instance of 'str'", "import_root"),
        (dict(source="", import_root=["a", "b\0c"]), ValueError, "embedded null character", "import_root"),
        (dict(source="", import_root=["a"] * 1001), ValueError, "import_root lists more than 1000 paths",
         "import_root"),
        (dict(source="", engine=1.5), TypeError, "'float' object is not an instance of 'str'", "engine"),
        (dict(source="\ud800"), UnicodeEncodeError, None, "source"),
    ],
)
def test_conversion_errors_carry_a_note(kwargs, exc, message, param):
    with pytest.raises(exc) as e:
        mirtova.parse(**kwargs)
    if message is not None:
        assert str(e.value) == message
    assert e.value.__notes__ == [f"while processing '{param}'"]


def test_engine_check_is_exact():
    with pytest.raises(ValueError) as e:
        mirtova.parse("", engine="DuckDB")
    assert str(e.value) == (
        "Unsupported engine 'DuckDB'. Supported engines: "
        "bigquery, sqlite, psql, trino, presto, databricks, duckdb."
    )
    for engine in ENGINES + [None]:
        mirtova.parse("", engine=engine)


def test_engine_refused_before_parse():
    with pytest.raises(ValueError, match="Unsupported engine"):
        mirtova.parse("Q(", engine="oracle")


def test_sequences_of_roots_are_accepted():
    assert mirtova.parse("", import_root=("a", "b")) == mirtova.parse("", import_root=["a", "b"])
