"""The program shapes of generated_programs.h, as Python text, for the
benchmarks run through the module. Each function answers (text, predicate that
reaches every other one); `rules` counts as the C++ generator does."""


def chain(rules):
    """Layers of an injected join, a two-rule union with a negation and an
    aggregation read by the next layer; chains of 200 layers meet in Top."""
    layers = 200
    lines = ["C0(1, 2);", "C0(2, 3);", "S0(x, n? += y) distinct :- C0(x, y);"]
    ends, count, i = [], 3, 1
    while count + 5 <= rules or i == 1:
        n, p = str(i), ("0" if (i - 1) % layers == 0 else str(i - 1))
        lines.append(f"J{n}(x, z) :- C{p}(x, y), S{p}(x, n: w), Edge(y, z), x != z, w > {n};")
        lines.append(f"C{n}(x, y) :- J{n}(x, y);")
        lines.append(f"C{n}(x, y) :- J{n}(y, x), ~Blocked(x);")
        lines.append(f"S{n}(x, n? += y) distinct :- C{n}(x, y);")
        count += 4
        if i % layers == 0:
            ends.append(f"Top(x, y) :- C{n}(x, y);")
            count += 1
        i += 1
    if (i - 1) % layers != 0:
        ends.append(f"Top(x, y) :- C{i - 1}(x, y);")
    return "\n".join(lines + ends) + "\n", "Top"


def wide(rules):
    """Predicates of ten six-table joins, each reading the one before; chains
    of 200 predicates meet in Top."""
    groups = 200
    lines, ends, count, g = ["W0(1, 2);"], [], 1, 1
    while count + 11 <= rules or g == 1:
        n, p = str(g), ("0" if (g - 1) % groups == 0 else str(g - 1))
        for k in range(10):
            lines.append(
                f'W{n}(a, f) :- W{p}(a, b), Ta{k}(b, c), Tb{k}(c, d), Tc(d, e, name: "x{k}"), Td(e, f), a + {k} != f;'
            )
        count += 10
        if g % groups == 0:
            ends.append(f"Top(x, y) :- W{n}(x, y);")
            count += 1
        g += 1
    if (g - 1) % groups != 0:
        ends.append(f"Top(x, y) :- W{g - 1}(x, y);")
    return "\n".join(lines + ends) + "\n", "Top"


def recursion(rules):
    """Transitive closures met in Top."""
    lines, i = [], 1
    while 3 * i <= rules or i == 1:
        lines.append(f"R{i}(x, y) distinct :- Edge(x, y), x > {i};")
        lines.append(f"R{i}(x, z) distinct :- R{i}(x, y), Edge(y, z);")
        lines.append(f"Top(x, y) :- R{i}(x, y);")
        i += 1
    return "\n".join(lines) + "\n", "Top"


def recursion_chain(rules):
    """Recursions of two rules, each seeded by the one before."""
    lines, i = ["R0(x, y) distinct :- Edge(x, y);"], 1
    while 2 * i < rules:
        lines.append(f"R{i}(x, y) distinct :- R{i - 1}(x, y);")
        lines.append(f"R{i}(x, z) distinct :- R{i}(x, y), Edge(y, z);")
        i += 1
    return "\n".join(lines) + "\n", f"R{i - 1}"


def long_chain(rules):
    """Predicates of two rules, each read by the next as a WITH clause."""
    lines, i = ["P0(x, y) :- E(x, y);"], 1
    while 2 * i < rules:
        lines.append(f"P{i}(x, y) :- P{i - 1}(x, z), E(z, y);")
        lines.append(f"P{i}(x, y) :- E(x, y), x > {i};")
        i += 1
    return "\n".join(lines) + "\n", f"P{i - 1}"


def injected_chain(rules):
    """Single-rule predicates, each injected into the next."""
    lines = ["P0(x, y) :- Edge(x, y);"]
    lines += [f"P{i}(x, y) :- P{i - 1}(x, z), Edge(z, y), x != y;" for i in range(1, rules)]
    return "\n".join(lines) + "\n", f"P{max(rules, 1) - 1}"


def facts(rules):
    """Facts of one predicate."""
    return "".join(f'F({i}, "s{i}");\n' for i in range(rules)), "F"


def wide_record(rules):
    """One rule whose head holds a record literal of `rules` fields."""
    fields = ", ".join(f"f{i}: x * {i}" for i in range(rules))
    return f"R(r: {{{fields}}}) :- T(x);\n", "R"


SHAPES = {
    "Facts": facts,
    "Chain": chain,
    "Wide": wide,
    "LongChain": long_chain,
    "InjectedChain": injected_chain,
    "Recursion": recursion,
    "RecursionChain": recursion_chain,
    "WideRecord": wide_record,
}
