"""parse and front_matter through the module: trees, front matter and parse errors."""

import json

import pytest

import mirtova


def test_simple_rule_tree():
    tree = json.loads(mirtova.parse("Q(x) :- P(x);"))
    assert tree["file_name"] == "main"
    assert tree["predicates_prefix"] == ""
    assert tree["imported_predicates"] == []
    [rule] = tree["rule"]
    assert rule["head"]["predicate_name"] == "Q"
    assert rule["full_text"] == "Q(x) :- P(x)"
    [conjunct] = rule["body"]["conjunction"]["conjunct"]
    assert conjunct["predicate"]["predicate_name"] == "P"


def test_pretty_text_layout():
    text = mirtova.parse("Q(x) :- P(x);")
    # Top-level keys share one printing rank, so they print in byte order.
    assert text.startswith('{\n "file_name": "main",\n "imported_predicates": [],\n')
    assert '\n "rule": [\n  {\n   "head": {' in text
    assert text.endswith("}")
    assert text == mirtova.parse("Q(x) :- P(x);", engine="sqlite")


def test_empty_program():
    assert json.loads(mirtova.parse("# nothing here\n")) == {
        "file_name": "main",
        "imported_predicates": [],
        "predicates_prefix": "",
        "rule": [],
    }


def test_front_matter_in_tree_and_function():
    source = "---\nname: Q\ndescription: Finds things.\n---\nQ(1);\n"
    tree = json.loads(mirtova.parse(source))
    assert tree["front_matter"] == {"name": "Q", "description": "Finds things."}
    assert mirtova.front_matter(source) == "name: Q\ndescription: Finds things.\n"
    assert mirtova.front_matter("Q(1);") is None
    assert mirtova.front_matter("---\nname: Q\n") is None


@pytest.mark.parametrize(
    "source, message",
    [
        ("---\nQ(1);", "Front matter opened with `---` on the first line is never closed: end it with a `---` line."),
        ("---\nname: P\n---\nQ(1);", "Front matter names 'P', which this file does not define (Q)."),
        ("Q(x) :- P(x) :- R(x);", "Too many :- in a rule. Did you forget semicolon?"),
        ("Q(1);\nP(2", "Parenthesis matches nothing."),
    ],
)
def test_parse_errors_are_value_errors_with_the_display(source, message):
    with pytest.raises(ValueError) as e:
        mirtova.parse(source)
    text = str(e.value)
    assert text.startswith("Parsing:\n")
    assert text.endswith(f"\n\n[ Error ] {message}\n")


def test_invalid_yaml_names_its_line():
    with pytest.raises(ValueError) as e:
        mirtova.parse("---\nname: [\n---\nQ(1);")
    assert "[ Error ] Invalid front matter YAML: " in str(e.value)


def test_deep_nesting_is_an_error_not_a_crash():
    source = "Q(" + "[" * 100_000 + "]" * 100_000 + ");"
    with pytest.raises(ValueError) as e:
        mirtova.parse(source)
    assert "nested too deeply" in str(e.value)
