"""The column types of fixture tables for the engines whose tables need declared
types: worked out from every row of a column, so that a null or an empty list in
the first row still gets the type the other rows show."""

from compile_engines import _columns, _values


def value_type(value):
    """"bool", "int", "float", "str", ("list", element) or ("record", [(name, type)]); None when the value
    shows no type (a null, an empty list)."""
    if value is None:
        return None
    if isinstance(value, bool):
        return "bool"
    if isinstance(value, int):
        return "int"
    if isinstance(value, float):
        return "float"
    if isinstance(value, str):
        return "str"
    if isinstance(value, list):
        element = None
        for v in value:
            element = merged(element, value_type(v))
        return ("list", element)
    if isinstance(value, dict):
        return ("record", [(k, value_type(v)) for k, v in value.items()])
    raise TypeError(value)


def merged(a, b):
    """One type for two values of a column: what either shows where the other shows nothing; ints beside
    floats are floats."""
    if a is None or b is None:
        return b if a is None else a
    if sorted([a, b], key=str) == ["float", "int"]:
        return "float"
    if isinstance(a, tuple) and isinstance(b, tuple) and a[0] == b[0] == "list":
        return ("list", merged(a[1], b[1]))
    if isinstance(a, tuple) and isinstance(b, tuple) and a[0] == b[0] == "record":
        fields = dict(a[1])
        for name, t in b[1]:
            fields[name] = merged(fields.get(name), t)
        return ("record", list(fields.items()))
    return a


def complete(t):
    """Where no row shows a type (a column of nulls, lists that are all empty), text."""
    if t is None:
        return "str"
    if isinstance(t, tuple) and t[0] == "list":
        return ("list", complete(t[1]))
    if isinstance(t, tuple):
        return ("record", [(k, complete(v)) for k, v in t[1]])
    return t


def table_columns(rows):
    """[(column name, type)] of a fixture table's rows."""
    names = _columns(rows)
    types = [None] * len(names)
    for row in rows:
        types = [merged(t, value_type(v)) for t, v in zip(types, _values(row))]
    return [(name, complete(t)) for name, t in zip(names, types)]
