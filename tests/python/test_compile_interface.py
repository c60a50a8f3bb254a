"""The compiling functions as the host sees them: signatures, documentation,
and the refusals that come before any parsing."""

import inspect

import pytest

import mirtova


@pytest.mark.parametrize(
    "name, signature, first_line",
    [
        ("compile", "(source, predicate, limit=None, offset=None, engine=None, import_root=None)",
         "Compile one predicate of a Mirtova program to SQL."),
        ("search", "(source, predicate, pattern, limit=None, offset=None, engine=None, import_root=None)",
         "Compile a predicate to SQL that keeps only rows where some column matches"),
        ("compile_all", "(source, engine=None, import_root=None)",
         "Compile every defined predicate to SQL; returns {predicate_name: sql}."),
        ("plan", "(source, predicate, limit=None, offset=None, engine=None, import_root=None, pattern=None, "
                 "assertion=None)",
         "The steps that compute a predicate, for a runner that executes them."),
    ],
)
def test_signature_and_documentation(name, signature, first_line):
    fn = getattr(mirtova, name)
    assert str(inspect.signature(fn)) == signature
    assert fn.__doc__.splitlines()[0] == first_line


def test_functions_come_in_table_order():
    names = [n for n in mirtova._mirtova.__all__ if n in ("parse", "compile", "search", "compile_all", "plan")]
    assert names == ["parse", "compile", "search", "compile_all", "plan"]


@pytest.mark.parametrize(
    "call, error, message, note",
    [
        (lambda: mirtova.compile("P(1);", "P", engine="DuckDB"), ValueError,
         "Unsupported engine 'DuckDB'. Supported engines: bigquery, sqlite, psql, trino, presto, databricks, duckdb.",
         None),
        (lambda: mirtova.compile("P(", "P", engine="DuckDB"), ValueError,
         "Unsupported engine 'DuckDB'. Supported engines: bigquery, sqlite, psql, trino, presto, databricks, duckdb.",
         None),
        (lambda: mirtova.compile("P(1);", "P", limit=-1), OverflowError, None, "while processing 'limit'"),
        (lambda: mirtova.plan("P(1);", "P", offset=2.0), TypeError, None, "while processing 'offset'"),
        (lambda: mirtova.search("P(1);", "P", None), TypeError, "'None' is not an instance of 'str'",
         "while processing 'pattern'"),
        (lambda: mirtova.compile_all("P(1);", import_root="lib"), TypeError, "Can't extract `str` to `Vec`",
         "while processing 'import_root'"),
        (lambda: mirtova.compile("P(1);"), TypeError, "compile() missing 1 required positional argument: 'predicate'",
         None),
    ],
)
def test_refusals_before_parsing(call, error, message, note):
    with pytest.raises(error) as e:
        call()
    if message is not None:
        assert str(e.value) == message
    if note is not None:
        assert note in getattr(e.value, "__notes__", [])


def test_a_syntax_error_is_the_parse_display():
    with pytest.raises(ValueError) as e:
        mirtova.compile("P(", "P")
    assert str(e.value).startswith("Parsing:\n")
    with pytest.raises(ValueError) as again:
        mirtova.plan("P(", "P")
    assert str(again.value) == str(e.value)
