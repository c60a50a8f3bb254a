"""The module as a host sees it: its attributes, signatures and argument errors."""

import ast
import inspect
import pathlib
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


def stub():
    """The type stub shipped beside the module, read as a tree."""
    path = pathlib.Path(_mirtova.__file__).resolve().parent / "_mirtova.pyi"
    if not path.exists():  # the worktree links the module from its build
        path = pathlib.Path(mirtova.__file__).parent / "_mirtova.pyi"
    return ast.parse(path.read_text())


def typed_dict_keys(tree, name):
    cls = next(n for n in tree.body if isinstance(n, ast.ClassDef) and n.name == name)
    return [item.target.id for item in cls.body if isinstance(item, ast.AnnAssign)]


def test_the_stub_describes_the_module():
    tree = stub()
    exported = next(n for n in tree.body if isinstance(n, ast.Assign) and n.targets[0].id == "__all__")
    assert ast.literal_eval(exported.value) == _mirtova.__all__
    functions = {n.name: n for n in tree.body if isinstance(n, ast.FunctionDef)}
    assert sorted(functions) == sorted(_mirtova.__all__[1:])
    for name, fn in functions.items():
        params = inspect.signature(getattr(_mirtova, name)).parameters
        assert [a.arg for a in fn.args.args] == list(params), name
        # The parameters with a default are the optional ones, whose default is None.
        assert len(fn.args.defaults) == sum(p.default is None for p in params.values()), name
    # The dicts the module returns have the keys their TypedDicts list, in order.
    source = "@Iteration(Up, predicates: [N], repetitions: 2); @Ground(N); N(0); N(x + 1) :- N(x); Q(x) :- N(x);"
    kinds = {"setup": "SetupStep", "sql": "SqlStep", "loop": "LoopStep"}
    steps = mirtova.plan(source, "Q")
    assert {step["kind"] for step in steps} == set(kinds)
    for step in steps:
        assert list(step) == typed_dict_keys(tree, kinds[step["kind"]])
    (report,) = mirtova.assertions("P(1); @Assert(P, positive: \"∀ x, P x → x > 0\");")
    assert list(report) == typed_dict_keys(tree, "AssertionReport")
