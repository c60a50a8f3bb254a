"""check, builtin_functions and reserved_predicates as a host calls them."""

import inspect
import subprocess
import sys
import textwrap

import pytest

import mirtova
from mirtova import _mirtova

DASH = "\u2014"
MISSING_NAME = "The front matter has no name: give the predicate this file is about, the one that runs (name: ...)"


def missing_description(name=None):
    if name is None:
        return (f"The front matter has no description: say what this file is about {DASH} "
                "in the words someone would search for (description: ...)")
    return (f"The front matter has no description for '{name}': say what its rows are {DASH} "
            "in the words someone would search for (description: ...)")


def missing_order_by(name):
    return (f"Missing @OrderBy for '{name}', the predicate this file is about: without it its rows come back "
            "in no stable order and pages differ between runs; "
            f'add @OrderBy({name}, "column"); before its rules')


def unsafe(predicate):
    return f"Unsafe SqlExpr in rule '{predicate}': raw SQL bypasses verification and portability"


def bad_table(predicate, table):
    return (f"Invalid table name in rule '{predicate}': '{table}' is not a table name: "
            "write names of letters, digits and '_', joined by '.'")


CORRECT = textwrap.dedent("""\
    ---
    name: Grandparent
    description: who is whose grandparent
    ---
    @OrderBy(Grandparent, "grandparent");
    Parent(parent: "Ada", child: "Byron");
    Parent(parent: "Byron", child: "Cleo");
    Grandparent(grandparent:, grandchild:) :-
      Parent(parent: grandparent, child: p), Parent(parent: p, child: grandchild);
    """)


@pytest.mark.parametrize(
    "source, errors",
    [
        (CORRECT, []),
        ("---\ntitle: x\n---\n", [MISSING_NAME, missing_description()]),
        ("---\nname: Foo\n---\nFoo(a: 1);", [missing_order_by("Foo"), missing_description("Foo")]),
        ("---\ndescription:\n---\nFoo(a: 1);", [MISSING_NAME, missing_description()]),
        # An empty or blank name is read as none: no name to order by.
        ("---\nname: \"\"\ndescription: \"\"\n---\nFoo(a: 1);", [MISSING_NAME, missing_description()]),
        ("---\nname: Foo\ndescription: rows\n---\n@OrderBy(\"Foo\");\nFoo(a: 1);",
         [missing_order_by("Foo"), "@OrderBy needs the predicate it is about as its first argument"]),
        ("P(x:) :- Q(x:), x == SqlExpr(\"x + 1\", {}); P(x:) :- x == SqlExpr(\"2\", {}); Q(x: 1);", [unsafe("P")]),
        ("Q(x:) :- 8y(x:); P(x:) :- 8y(x:), `a b`(x:);", [bad_table("Q", "8y"), bad_table("P", "`a b`")]),
        ("P(x:) :- ds.events(x:), `my-project.ds.t`(x:), Today(x:), Upper(x:);", []),
        ("P(x:) :- 1x(x:); Q(x:) :- R(x:), x == SqlExpr(\"1\", {}); R(x: 1);", [unsafe("Q"), bad_table("P", "1x")]),
        # A predicate aggregating in two rules is named as written, not as the parser's helper.
        ("Q(x: 1); P(x:, n? += 1) distinct :- Q(x:), x == SqlExpr(\"2\", {});"
         "P(x:, n? += 1) distinct :- Q(x:), 1t(a: x);", [unsafe("P"), bad_table("P", "1t")]),
    ],
)
def test_check_errors(source, errors):
    assert mirtova.check(source) == (errors, [])


def test_check_returns_a_tuple_of_two_lists():
    result = mirtova.check(CORRECT)
    assert type(result) is tuple and result == ([], [])
    assert all(type(part) is list for part in result)


def test_check_names_predicates_as_written(tmp_path):
    (tmp_path / "lib").mkdir()
    (tmp_path / "lib" / "a.l").write_text('P(x:) :- 1x(x:), x == SqlExpr("1", {});\n')
    errors, warnings = mirtova.check("import lib.a.P as Q;\nR(x:) :- Q(x:);", import_root=[str(tmp_path)])
    assert errors == [unsafe("Q"), bad_table("Q", "1x")]
    assert warnings == []


@pytest.mark.parametrize("source", ["P(x) :- ", "Q(", "---\nname: Missing\n---\nP(a: 1);"])
def test_check_raises_the_parse_error_of_parse(source):
    with pytest.raises(ValueError) as parsed:
        mirtova.parse(source)
    with pytest.raises(ValueError) as checked:
        mirtova.check(source)
    assert str(checked.value) == str(parsed.value)
    assert str(checked.value).startswith("Parsing:\n")


def test_check_refuses_the_engine_before_parsing():
    with pytest.raises(ValueError, match="^Unsupported engine 'DuckDB'"):
        mirtova.check("Q(", engine="DuckDB")
    source = "---\nname: Foo\n---\nFoo(a: 1);"
    assert all(mirtova.check(source, engine=e) == mirtova.check(source) for e in mirtova.SUPPORTED_ENGINES)


def test_check_writes_nothing(capfd):
    mirtova.check("---\ntitle: x\n---\nP(x:) :- 1x(x:), x == SqlExpr(\"1\", {});")
    out, err = capfd.readouterr()
    assert out == "" and err == ""


def test_check_arguments():
    with pytest.raises(TypeError) as e:
        mirtova.check(None)
    assert str(e.value) == "'None' is not an instance of 'str'"
    assert e.value.__notes__ == ["while processing 'source'"]
    with pytest.raises(TypeError) as e:
        mirtova.check("", import_root="dir")
    assert e.value.__notes__ == ["while processing 'import_root'"]
    with pytest.raises(TypeError, match=r"^check\(\) takes from 1 to 3 positional arguments but 4 were given$"):
        mirtova.check("", None, None, None)
    assert mirtova.check(source="", engine=None, import_root=None) == ([], [])


def test_catalogues():
    builtins = mirtova.builtin_functions()
    reserved = mirtova.reserved_predicates()
    assert len(builtins) == 331 and len(reserved) == 29
    for names in (builtins, reserved):
        assert names == sorted(names, key=lambda n: n.encode())
    assert builtins[:10] == ["!", "!=", "%", "&&", "*", "+", "++", "-", "/", "1"]
    assert builtins[-5:] == ["^", "in", "is", "is not", "||"]
    assert reserved[:3] == ["->", "=", "ArgMax"] and reserved[-3:] == ["Today", "UniqueNumber",
                                                                        "UnsafeToUseUniqueNumber"]
    assert "Array" in builtins and "Array" in reserved
    assert "ILike" in builtins and "ProverChoice" in reserved
    assert "today" not in reserved and "Argmin" not in builtins
    # A fresh list each call: changing one changes nothing shared.
    builtins.clear()
    assert len(mirtova.builtin_functions()) == 331


def test_catalogues_take_no_arguments():
    for fn in (mirtova.builtin_functions, mirtova.reserved_predicates):
        with pytest.raises(TypeError):
            fn(1)


def test_catalogues_from_eight_threads_at_first_use():
    # A fresh interpreter, so that the eight calls are the first ones.
    script = textwrap.dedent("""\
        import threading, mirtova
        barrier = threading.Barrier(8)
        results = []
        def run():
            barrier.wait()
            results.append((mirtova.builtin_functions(), mirtova.reserved_predicates()))
        threads = [threading.Thread(target=run) for _ in range(8)]
        for t in threads: t.start()
        for t in threads: t.join()
        assert len(results) == 8 and all(r == results[0] for r in results)
        print(len(results[0][0]), len(results[0][1]))
        """)
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    assert done.stdout == "331 29\n"


def test_registration_and_signatures():
    names = [n for n in _mirtova.__all__
             if n in ("compile_all", "check", "plan", "reserved_predicates", "builtin_functions", "front_matter")]
    assert names == ["compile_all", "check", "plan", "reserved_predicates", "builtin_functions", "front_matter"]
    assert str(inspect.signature(mirtova.check)) == "(source, engine=None, import_root=None)"
    assert str(inspect.signature(mirtova.builtin_functions)) == "()"
    assert str(inspect.signature(mirtova.reserved_predicates)) == "()"
    assert mirtova.check.__doc__.startswith(
        "Validate a Mirtova program; returns `(errors, warnings)`, two lists of")
    assert mirtova.builtin_functions.__doc__.startswith(
        "Function and operator names Mirtova compiles to SQL, sorted.")
    assert mirtova.reserved_predicates.__doc__.startswith("Predicate names Mirtova defines itself, sorted.")
