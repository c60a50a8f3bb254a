"""Rows worked out in Python, apart from the compiler, for the tests to compare
engines' rows with."""


def closure(edges):
    """The transitive closure of a set of pairs."""
    full = set(edges)
    while True:
        more = {(x, z) for (x, y) in full for (y2, z) in edges if y == y2} - full
        if not more:
            return full
        full |= more
