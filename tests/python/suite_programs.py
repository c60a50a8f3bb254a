"""The programs of the suite's tables: the texts held by the test modules'
module-level values and by the arguments of their parametrize marks, each one
that parses as a program (or as an expression, called by a rule Q)."""
import importlib
import json
import pathlib

import mirtova

HERE = pathlib.Path(__file__).resolve().parent


def _texts(value, seen, depth=0):
    if depth > 8 or id(value) in seen:
        return
    seen.add(id(value))
    if isinstance(value, str):
        yield value
    elif isinstance(value, dict):
        for item in list(value.keys()) + list(value.values()):
            yield from _texts(item, seen, depth + 1)
    elif isinstance(value, (list, tuple, set, frozenset)):
        for item in value:
            yield from _texts(item, seen, depth + 1)
    elif hasattr(value, "values") and hasattr(value, "marks"):  # pytest.param
        yield from _texts(value.values, seen, depth + 1)
    elif callable(value) or isinstance(value, type):
        for mark in getattr(value, "pytestmark", []):
            yield from _texts(mark.args, seen, depth + 1)
        if isinstance(value, type):
            for member in vars(value).values():
                yield from _texts(member, seen, depth + 1)


def _program(text):
    """The text as a program, or None when it is none."""
    if "(" not in text or len(text) > 200_000:
        return None
    for source in (text, f"Q(v) :- v == {text};"):
        try:
            mirtova.parse(source)
            return source
        except ValueError:
            continue
    return None


def modules():
    return sorted(path.stem for path in HERE.glob("test_*.py"))


def programs_of(module_name):
    """The module's programs, each once, in the order met."""
    module = importlib.import_module(module_name)
    seen, found = set(), {}
    for value in list(vars(module).values()):
        if getattr(value, "__module__", module_name) != module_name and not isinstance(value, (list, tuple, dict)):
            continue
        for text in _texts(value, seen):
            source = _program(text)
            if source is not None:
                found.setdefault(source, None)
    return list(found)


def compiled(source, engine):
    """The script of each predicate the program defines that compiles for the engine."""
    try:
        return list(mirtova.compile_all(source, engine=engine).values())
    except ValueError:
        pass
    try:
        rules = json.loads(mirtova.parse(source)).get("rule", [])
    except RecursionError:  # a tree nested deeper than json reads: no predicate of it compiles
        return []
    scripts = []
    for rule in rules:
        predicate = rule["head"]["predicate_name"]
        if predicate.startswith("@"):
            continue
        try:
            scripts.append(mirtova.compile(source, predicate, engine=engine))
        except ValueError:
            continue
    return list(dict.fromkeys(scripts))
