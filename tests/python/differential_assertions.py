"""Random assertion statements over a random small database, and an evaluator
of what a statement means, for the differential test of assertions.

Quantifiers range over the active domain: every value of the tables and every
number the statement writes. A predicate used as a value (`F x`, the last
column of the rows whose other columns are the arguments) makes the atomic
formula around it hold for some value, as the formula stands once negations
are pushed down to it; a sum adds its value once per row of what it ranges
over, and is 0 over no row."""

import itertools
import operator
import random
import re
from collections import namedtuple

# The statement tree. App is a predicate applied to arguments: a formula, or a
# value (its last column). Quant's kind is "∀", "∃" or "∑"; Bin's op is a
# connective, a comparison or an arithmetic operator.
V = namedtuple("V", "name")
N = namedtuple("N", "value")
App = namedtuple("App", "name args")
Quant = namedtuple("Quant", "kind vars body")
Not = namedtuple("Not", "body")
Bin = namedtuple("Bin", "op left right")

CONNECTIVES = ["∧", "∨", "→", "↔"]
COMPARISONS = {"=": operator.eq, "≠": operator.ne, "<": operator.lt, "≤": operator.le, ">": operator.gt,
               "≥": operator.ge}
ARITHMETIC = {"+": operator.add, "-": operator.sub, "*": operator.mul}

# The program's predicates: name -> (its columns, the table it reads). Tables
# are those of the program differential test (`DATABASE` there).
PREDICATES = {"P": (("a",), "U"), "Q": (("a", "b"), "E"), "F": (("a", "v"), "Dag"), "R": (("a", "b", "v"), "W")}
ARITY = {table: len(columns) for columns, table in PREDICATES.values()}


def text(e):
    """The statement text, every compound part in parentheses."""
    if isinstance(e, V):
        return e.name
    if isinstance(e, N):
        return str(e.value)
    if isinstance(e, App):
        return " ".join([e.name] + [text(a) if isinstance(a, (V, N)) else f"({text(a)})" for a in e.args])
    if isinstance(e, Quant):
        return f"({e.kind} {' '.join(e.vars)}, {text(e.body)})"
    if isinstance(e, Not):
        return f"(¬ {text(e.body)})"
    return f"({text(e.left)} {e.op} {text(e.right)})"


def statement_text(leading, body):
    return f"∀ {' '.join(leading)}, {text(body)}" if leading else text(body)


def program_text(texts):
    """The predicates and one assertion of P naming the statements s0, s1, ..."""
    rules = [f"{p}({', '.join(c + ':' for c in cols)}) :- {t}("
             + ", ".join(f"col{i}: {c}" for i, c in enumerate(cols)) + ");"
             for p, (cols, t) in PREDICATES.items()]
    named = ", ".join(f's{i}: "{t}"' for i, t in enumerate(texts))
    return "\n".join(rules) + f"\n@Assert(P, {named});\n"


class Meaning:
    def __init__(self, tables, statement_numbers):
        self.rows = {p: set(tables[t]) for p, (_, t) in PREDICATES.items()}
        self.domain = sorted({v for rows in tables.values() for row in rows for v in row} | statement_numbers)

    def counterexamples(self, leading, body):
        """The rows of the leading variables for which the body fails; (1,)
        when a statement without leading variables fails."""
        found = set()
        for values in itertools.product(self.domain, repeat=len(leading)):
            if self.holds(body, True, dict(zip(leading, values))):
                found.add(values if leading else (1,))
        return found

    def bind(self, env, names):
        for values in itertools.product(self.domain, repeat=len(names)):
            yield {**env, **dict(zip(names, values))}

    def holds(self, e, negate, env):
        """Whether e holds, or with `negate` whether it fails, once negations
        are pushed down to its atomic formulas."""
        if isinstance(e, Quant):
            # ∀ fails, and ∃ holds, for some values; ∀ holds, and ∃ fails, for none.
            inner = e.kind == "∀"
            some = any(self.holds(e.body, inner, env2) for env2 in self.bind(env, e.vars))
            return some if (e.kind == "∀") == negate else not some
        if isinstance(e, Not):
            return self.holds(e.body, not negate, env)
        if isinstance(e, Bin) and e.op in CONNECTIVES:
            if e.op == "↔":
                return self.holds(Bin("∧", Bin("→", e.left, e.right), Bin("→", e.right, e.left)), negate, env)
            left_negate = not negate if e.op == "→" else negate
            left = self.holds(e.left, left_negate, env)
            right = self.holds(e.right, negate, env)
            either = (e.op == "∧") == negate
            return left or right if either else left and right
        if isinstance(e, App):
            rows = self.rows[e.name]
            return any((args in rows) != negate for args in self.choices(e.args, env))
        return any(COMPARISONS[e.op](a, b) != negate for a, b in self.choices((e.left, e.right), env))

    def choices(self, args, env):
        return itertools.product(*(self.values(a, env) for a in args))

    def values(self, e, env):
        """Every value e may stand for: one, or one per row of a predicate used as a value."""
        if isinstance(e, V):
            return [env[e.name]]
        if isinstance(e, N):
            return [e.value]
        if isinstance(e, App):
            rows = self.rows[e.name]
            return [row[-1] for args in self.choices(e.args, env) for row in rows if row[:-1] == args]
        if isinstance(e, Quant):  # ∑
            return [sum(v for env2 in self.bind(env, e.vars) for v in self.values(e.body, env2))]
        return [ARITHMETIC[e.op](a, b) for a, b in self.choices((e.left, e.right), env)]


class Generator:
    """Statements over a few small predicates: mostly quantifiers guarded by an
    atom (so that most can be checked), nested, negated, joined by every
    connective, with values of predicates and sums (with and without outer
    variables) compared."""

    def __init__(self, seed):
        self.rng = random.Random(seed)
        self.count = 0

    def tables(self):
        rng = self.rng
        out = {}
        for _, (cols, table) in PREDICATES.items():
            size = rng.choice([0, 0, 1, 2, 3, 4, 5])
            out[table] = sorted({tuple(rng.randrange(4) for _ in cols) for _ in range(size)})
        return out

    def fresh(self):
        self.count += 1
        return "xyzwuvst"[self.count % 8] + ("" if self.count < 8 else str(self.count // 8))

    def arg(self, scope):
        if scope and self.rng.random() < 0.8:
            return V(self.rng.choice(scope))
        return N(self.rng.randrange(4))

    def atom(self, scope, var=None):
        """P or Q applied to variables of the scope or numbers, `var` among them."""
        name = self.rng.choice(["P", "Q", "Q"])
        args = [self.arg(scope) for _ in PREDICATES[name][0]]
        if var is not None:
            args[self.rng.randrange(len(args))] = V(var)
        return App(name, tuple(args))

    def value(self, scope, depth):
        rng = self.rng
        r = rng.random()
        if depth <= 0 or r < 0.35:
            return self.arg(scope)
        if r < 0.55:
            name = rng.choice(["F", "Q", "R"])
            return App(name, tuple(self.arg(scope) for _ in PREDICATES[name][0][:-1]))
        if r < 0.8:
            return self.sum(scope, depth)
        return Bin(rng.choice(["+", "-", "*"]), self.value(scope, depth - 1), self.value(scope, depth - 1))

    def sum(self, scope, depth):
        rng = self.rng
        x = self.fresh()
        inner = scope + [x]
        shape = rng.random()
        if shape < 0.3:
            body = App("F", (V(x),))
        elif shape < 0.55 and scope:
            body = App("R", (V(rng.choice(scope)), V(x)))  # grouped by an outer variable
        elif shape < 0.7:
            body = App("Q", (V(x),))
        elif shape < 0.85:
            body = Bin(rng.choice(["+", "*"]), App("F", (V(x),)), self.value(inner, depth - 1))
        else:
            y = self.fresh()
            return Quant("∑", (x, y), App("R", (V(x), V(y))))
        return Quant("∑", (x,), body)

    def formula(self, scope, depth):
        rng = self.rng
        r = rng.random()
        if depth <= 0 or r < 0.25:
            if rng.random() < 0.4:
                return self.atom(scope)
            return Bin(rng.choice(list(COMPARISONS)), self.value(scope, 2), self.value(scope, 2))
        if r < 0.33:
            return Not(self.formula(scope, depth - 1))
        if r < 0.5:
            return Bin(rng.choice(CONNECTIVES), self.formula(scope, depth - 1), self.formula(scope, depth - 1))
        x = self.fresh()
        inner = scope + [x]
        if r < 0.65:
            return Quant("∀", (x,), Bin("→", self.atom(scope, x), self.formula(inner, depth - 1)))
        if r < 0.82:
            return Quant("∃", (x,), Bin("∧", self.atom(scope, x), self.formula(inner, depth - 1)))
        # Unguarded: checkable when the body binds the variable, or in a shape
        # that only tells a false alarm.
        return Quant(rng.choice("∀∃"), (x,), self.formula(inner, depth - 1))

    def statement(self):
        """(leading universal variables, the rest)."""
        rng = self.rng
        self.count = 0
        r = rng.random()
        if r < 0.55:
            z = self.fresh()
            return (z,), Bin("→", self.atom([], z), self.formula([z], 3))
        if r < 0.7:
            a, b = self.fresh(), self.fresh()
            return (a, b), Bin("→", App("Q", (V(a), V(b))), self.formula([a, b], 2))
        body, leading = self.formula([], 3), ()
        # A statement's leading ∀ gives the columns of its counterexamples, also in parentheses.
        while isinstance(body, Quant) and body.kind == "∀":
            leading, body = leading + body.vars, body.body
        return leading, body


def generate(seed, statements):
    """A database and `statements` statements over it."""
    gen = Generator(seed)
    return gen.tables(), [gen.statement() for _ in range(statements)]


def expected(tables, statement):
    """The counterexamples of the statement: its numbers join the domain."""
    leading, body = statement
    numbers = {int(n) for n in re.findall(r"(?<!\w)\d+", text(body))}
    return Meaning(tables, numbers).counterexamples(leading, body)
