"""check on names: what is defined, built in, imported or made is never called undefined; what is not is
reported once, with the closest known name."""

import re

import pytest

import mirtova

DASH = "\u2014"


def undefined(name, suggestion=None, function=False):
    kind = "function" if function else "predicate"
    text = f"Undefined {kind} '{name}': not defined and not a built-in"
    return text + (f" {DASH} did you mean '{suggestion}'?" if suggestion else "")


def capitalised(names):
    return [n for n in names if re.fullmatch(r"[A-Z][A-Za-z0-9_]*", n)]


def test_every_builtin_function_is_known():
    names = capitalised(mirtova.builtin_functions())
    assert len(names) > 300
    # SqlExpr is known, but has an error of its own.
    # Aggregates called as functions, and SqlExpr, have errors of their own.
    source = "".join(f"Q{i}(a:) :- t(x:), a == {n}(x);\n" for i, n in enumerate(names))
    assert [e for e in mirtova.check(source)[0] if e.startswith("Undefined")] == []


def test_every_builtin_and_library_name_is_known_as_a_predicate():
    names = capitalised(mirtova.builtin_functions()) + capitalised(mirtova.reserved_predicates())
    assert "ArgMax" in names and "Today" in names
    source = "".join(f"Q{i}(a:) :- t(a:), {n}(a:);\n" for i, n in enumerate(names))
    assert mirtova.check(source) == ([], [])


@pytest.fixture
def library(tmp_path):
    (tmp_path / "lib").mkdir()
    (tmp_path / "lib" / "people.l").write_text(
        "Person(name:) :- Row(name:);\n"
        "Row(name: \"Ada\");\n"
        "Adult(name:) :- Person(name:), Age(name:, years:), years >= 18;\n"
        "Age(name: \"Ada\", years: 36);\n")
    return [str(tmp_path)]


@pytest.mark.parametrize(
    "source, errors",
    [
        # Imported names are known by the names written at the import, and the imported file's own names
        # (its rules call one another) are never the user's to define.
        ("import lib.people.Person;\nR(name:) :- Person(name:);", []),
        ("import lib.people.Adult as Grown;\nR(name:) :- Grown(name:);", []),
        ("import lib.people.Person;\nimport lib.people.Adult as Grown;\nR(name:) :- Person(name:), Grown(name:);",
         []),
        # A name the file defines but the user did not import is not known.
        ("import lib.people.Person;\nR(name:) :- Person(name:), Adult(name:);", [undefined("Adult")]),
        # Suggestions come from the program's own names: an imported one is known by another inside.
        ("import lib.people.Person;\nR(name:) :- Person(name:), Persom(name:);", [undefined("Persom")]),
        ("import lib.people.Person;\nPersons(name: 1);\nR(name:) :- Person(name:), Persom(name:);",
         [undefined("Persom", "Persons")]),
    ],
)
def test_imported_predicates(library, source, errors):
    assert mirtova.check(source, import_root=library) == (errors, [])


@pytest.mark.parametrize(
    "source, errors",
    [
        # A has B's columns, which its maker copies: z is none of them; and the copy reads C by y.
        ("A := B(x: C);\nB(y:) :- x(y:);\nC(z: 1);\nR(z:) :- A(z:);",
         ["Unknown column 'z' for predicate 'A'", "Predicate 'C' has no column 'y'."]),
        # A made predicate is a candidate for suggestions, and the functor's own arguments are its business.
        ("Made := B(x: C);\nB(y:) :- x(y:);\nC(z: 1);\nR(z:) :- Mode(z:);",
         [undefined("Mode", "Made"), "Predicate 'C' has no column 'y'."]),
        # A later functor may take a made predicate as its functor; A no longer calls x, so it is applied to E.
        ("A := B(x: C);\nB(y:) :- x(y:), E(y:);\nE(y: 1);\nC(y: 1);\nD := A(E: C);\nR(y:) :- D(y:), A(y:);", []),
    ],
)
def test_predicates_made_by_functors(source, errors):
    assert mirtova.check(source) == (errors, [])


@pytest.mark.parametrize(
    "source, errors",
    [
        ("Foo(a: 1);\nQ(a:) :- Fooo(a:);", [undefined("Fooo", "Foo")]),
        ("Q(a:) :- t(a:), a == Lenght(\"abc\");", [undefined("Lenght", "Length", function=True)]),
        ("Ab(a: 1);\nQ(a:) :- Cd(a:);", [undefined("Cd")]),
        # Only names that begin with an ASCII capital are looked at.
        ("Q(a:) :- foo(a:), _bar(a:), `1x`(a:), ds.Table(a:), a == lower(1), a == 2x(1);", []),
        # Once, as the kind met first.
        ("Q(a:) :- Gone(a:);\nR(a:) :- Gone(a:), a == Gone(1);\nS(a:) :- t(a:), a == Lost(1);\nT(a:) :- Lost(a:);",
         [undefined("Gone"), undefined("Lost", function=True)]),
        # Within a statement, predicates first.
        ("S(a:) :- t(a:), a == Lost(1), Lost(a:);", [undefined("Lost")]),
    ],
)
def test_undefined_names(source, errors):
    assert mirtova.check(source) == (errors, [])


def test_a_program_that_compiles_has_no_name_errors():
    source = ("Parent(parent: \"Ada\", child: \"Byron\");\n"
              "Sibling(a:, b:) :- Parent(parent: p, child: a), Parent(parent: p, child: b), a != b;\n"
              "Double(x) = 2 * x;\n"
              "Count(n? += 1) distinct :- Parent(), n == Double(1);\n"
              "Best(child: ArgMax{c -> Length(c)}) :- Parent(child: c);\n")
    mirtova.compile_all(source)
    assert mirtova.check(source) == ([], [])
