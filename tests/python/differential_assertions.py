"""Random assertion statements over a random small database, and an evaluator
of what a statement means, for the differential test of assertions.

With negations pushed down to the atomic formulas, the statement fails for
the values of its leading variables that satisfy one alternative (a conjunction
of atomic formulas and of quantifiers that stay universal) for some values of
the variables of the quantifiers that become existential. Each variable takes
its values from the alternative: a variable that a positive atom, or a
predicate used as a value outside a sum, reads as an argument ranges over its
rows (the active domain: every value of the tables and every number the
statement writes, of which only those rows satisfy); so does one equal to such
variables; any other ranges over the first column of a predicate used as a
value that reads it, searching the formulas of the alternative in order, into
sums and quantifiers. A variable of a universal quantifier's alternative that
the enclosing alternative has a value for keeps that value. A predicate used as
a value (`F x`, the last column of the rows whose other columns are the
arguments) makes the atomic formula around it hold for some value; a sum adds
its value once per row of what it ranges over, and is 0 over no row.

A table may hold nulls. A null is a value like any other where an atom reads
it (a null argument matches a null in the row), but a comparison with a null
holds neither way, arithmetic with a null gives a null, and a sum passes over
a null value."""

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


def in_order(values):
    """Values sorted with the null first."""
    return sorted(values, key=lambda v: (v is not None, v or 0))


def row_order(row):
    return tuple((v is not None, v or 0) for v in row)


def sql_values(row):
    return ", ".join("NULL" if v is None else str(v) for v in row)


def program_text(texts):
    """The predicates and one assertion of P naming the statements s0, s1, ..."""
    rules = [f"{p}({', '.join(c + ':' for c in cols)}) :- {t}("
             + ", ".join(f"col{i}: {c}" for i, c in enumerate(cols)) + ");"
             for p, (cols, t) in PREDICATES.items()]
    named = ", ".join(f's{i}: "{t}"' for i, t in enumerate(texts))
    return "\n".join(rules) + f"\n@Assert(P, {named});\n"


def alternatives(e, negate):
    """The alternatives of e (of its negation with `negate`) once negations are
    pushed down: (variables of the quantifiers that became existential, its
    formulas with their `negate`), in the order the formulas are written."""
    if isinstance(e, Quant) and e.kind != "∑":
        if (e.kind == "∀") != negate:  # stays universal
            return [((), [(e, negate)])]
        return [(e.vars + names, formulas) for names, formulas in alternatives(e.body, negate)]
    if isinstance(e, Not):
        return alternatives(e.body, not negate)
    if isinstance(e, Bin) and e.op in CONNECTIVES:
        if e.op == "↔":
            return alternatives(Bin("∧", Bin("→", e.left, e.right), Bin("→", e.right, e.left)), negate)
        left = alternatives(e.left, not negate if e.op == "→" else negate)
        right = alternatives(e.right, negate)
        if (e.op == "∧") == negate:
            return left + right
        return [(n1 + n2, f1 + f2) for n1, f1 in left for n2, f2 in right]
    return [((), [(e, negate)])]


def parts(e):
    if isinstance(e, App):
        return e.args
    if isinstance(e, Bin):
        return (e.left, e.right)
    return (e.body,) if isinstance(e, (Quant, Not)) else ()


def free(e):
    if isinstance(e, V):
        return {e.name}
    inner = set().union(*map(free, parts(e)))
    return inner - set(e.vars) if isinstance(e, Quant) else inner


def read(e):
    """The variables that atoms and predicate values read as arguments, outside sums."""
    if isinstance(e, Quant):
        return set()
    own = {a.name for a in e.args if isinstance(a, V)} if isinstance(e, App) else set()
    return own.union(*map(read, parts(e)))


def column(e, name):
    """The first column of a predicate value that reads `name` as an argument."""
    if isinstance(e, Quant) and name in e.vars:
        return None
    if isinstance(e, App) and len(e.args) == len(PREDICATES[e.name][0]) - 1 and V(name) in e.args:
        return e.name, e.args.index(V(name))
    return next(filter(None, (column(p, name) for p in parts(e))), None)


def equalities(formulas):
    """(variable, the variables it is equal to a value of), for each exact equality."""
    out = []
    for e, negate in formulas:
        if isinstance(e, Bin) and e.op == ("≠" if negate else "="):
            exact = not any(isinstance(side, Quant) or isinstance(side, Bin) for side in (e.left, e.right))
            out += [(a.name, free(b)) for a, b in ((e.left, e.right), (e.right, e.left))
                    if exact and isinstance(a, V)]
    return out


class Meaning:
    def __init__(self, tables, statement_numbers):
        # Every row as often as its table holds it: a sum adds a repeated row's value again.
        self.rows = {p: list(tables[t]) for p, (_, t) in PREDICATES.items()}
        self.domain = in_order({v for rows in tables.values() for row in rows for v in row} | statement_numbers)

    def counterexamples(self, leading, body):
        """The rows of the leading variables for which the body fails; (1,)
        when a statement without leading variables fails."""
        return {tuple(env[v] for v in leading) if leading else (1,)
                for names, formulas in alternatives(body, True)
                for env in self.satisfying(leading + names, formulas, {})}

    def ranges(self, names, formulas, env):
        bound = set(env).union(*(read(e) for e, negate in formulas if not (isinstance(e, App) and negate)))
        equal = equalities(formulas)
        out = {}
        for name in names:
            while any(v not in bound and b <= bound for v, b in equal):
                bound |= {v for v, b in equal if b <= bound}
            if name in bound:
                out[name] = self.domain
                continue
            found = next(filter(None, (column(e, name) for e, _ in formulas)), None)
            if found is None:
                raise ValueError(f"no values for {name}")
            out[name] = in_order({row[found[1]] for row in self.rows[found[0]]})
            bound.add(name)
        return out

    def satisfying(self, names, formulas, env):
        """The values of `names` (those the formulas mention) that satisfy every formula."""
        mentioned = set().union(*(free(e) for e, _ in formulas))
        names = [n for n in dict.fromkeys(names) if n in mentioned and n not in env]
        ranges = self.ranges(names, formulas, env)
        for values in itertools.product(*(ranges[n] for n in names)):
            env2 = {**env, **dict(zip(names, values))}
            if all(self.holds(e, negate, env2) for e, negate in formulas):
                yield env2

    def holds(self, e, negate, env):
        """Whether the atomic formula or universal quantifier e holds, or with
        `negate` fails."""
        if isinstance(e, Quant):
            return not any(next(self.satisfying(names, formulas, env), None) is not None
                           for names, formulas in alternatives(e, not negate))
        if isinstance(e, App):
            rows = self.rows[e.name]
            return any((args in rows) != negate for args in self.choices(e.args, env))
        return any(a is not None and b is not None and COMPARISONS[e.op](a, b) != negate
                   for a, b in self.choices((e.left, e.right), env))

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
            return [sum(v for env2 in self.bind(env, e.vars) for v in self.values(e.body, env2) if v is not None)]
        return [None if a is None or b is None else ARITHMETIC[e.op](a, b)
                for a, b in self.choices((e.left, e.right), env)]

    def bind(self, env, names):
        for values in itertools.product(self.domain, repeat=len(names)):
            yield {**env, **dict(zip(names, values))}


class Generator:
    """Statements over a few small predicates: mostly quantifiers guarded by an
    atom (so that most can be checked), nested, negated, joined by every
    connective, with values of predicates and sums (with and without outer
    variables) compared; and leading variables that only a value or a sum
    reads, under quantifiers."""

    def __init__(self, seed):
        self.rng = random.Random(seed)
        # Draws added later take a stream of their own, so that a seed keeps
        # the statements and rows it had.
        self.later = random.Random(seed * 31 + 7)
        self.nulls = random.Random(seed * 53 + 11)
        self.count = 0

    def tables(self):
        rng = self.rng
        out = {}
        for _, (cols, table) in PREDICATES.items():
            size = rng.choice([0, 0, 1, 2, 3, 4, 5])
            rows = sorted({tuple(rng.randrange(4) for _ in cols) for _ in range(size)})
            if rows and self.later.random() < 0.3:
                # Negative values: sums and differences cross zero, and the numbers
                # a statement writes (never negative) meet values below them all.
                rows = sorted({tuple(v - 2 if self.later.random() < 0.4 else v for v in row) for row in rows})
            if rows and self.later.random() < 0.4:
                # A predicate without distinct keeps a table's repeated rows.
                rows = sorted(rows + self.later.sample(rows, self.later.randint(1, len(rows))))
            if rows and self.nulls.random() < 0.35:
                # Nulls, also in the columns that atoms join on.
                rows = sorted((tuple(None if self.nulls.random() < 0.3 else v for v in row) for row in rows),
                              key=row_order)
            out[table] = rows
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
        if r < 0.8:
            # No atom guards z: it ranges over the column of a predicate value
            # that reads it, in a sum or under quantifiers.
            z, w, y, x = self.fresh(), self.fresh(), self.fresh(), self.fresh()
            shape = rng.random()
            scope = [z] if shape < 0.3 else [z, w] if shape < 0.6 else [z, w, y]
            read = Quant("∑", (x,), App("R", (V(z), V(x))))
            if shape >= 0.3:
                read = rng.choice([read, App("F", (V(z),)), App("R", (V(z), self.arg(scope)))])
            fact = Bin(rng.choice(list(COMPARISONS)), read, self.value(scope, 1))
            if shape >= 0.6:
                fact = Quant("∀", (y,), Bin("→", self.atom([z, w], y), fact))
            return (z,), fact if shape < 0.3 else Quant("∃", (w,), Bin("∧", self.formula([z, w], 1), fact))
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
