"""Random Mirtova programs for the differential test: a generator that builds
each program as a small tree, writes it out as program text, and a reference
evaluator that computes its rows straight from the tree (bottom-up, stratum by
stratum, with bag semantics and SQL's treatment of null)."""

import operator
import random
from contextlib import contextmanager
from collections import Counter
from dataclasses import dataclass, field

# ---- the program tree -------------------------------------------------------


@dataclass(frozen=True)
class Var:
    name: str
    text: bool = False  # holds text rather than a number


@dataclass(frozen=True)
class Const:
    value: object  # int, str or None


@dataclass(frozen=True)
class BinOp:
    op: str  # + - * /
    left: object
    right: object


@dataclass(frozen=True)
class Builtin:
    """Upper(s) or Length(s)."""
    name: str
    arg: object


@dataclass(frozen=True)
class Fn:
    """A built-in function of several arguments: Substr(s, 2, 3), Div(x, -2), ..."""
    name: str
    args: tuple


@dataclass(frozen=True)
class Call:
    """A call of a function: a bodiless one (inlined) or an aggregating one."""
    name: str
    args: tuple


@dataclass(frozen=True)
class Combine:
    op: str  # Sum Max Min Count Avg
    value: object
    body: tuple


@dataclass(frozen=True)
class IfThen:
    cond: object  # a Cmp
    then: object
    otherwise: object


@dataclass(frozen=True)
class Wild:
    pass


@dataclass(frozen=True)
class Record:
    fields: tuple  # (name, term) pairs


@dataclass(frozen=True)
class Field:
    """A field of a record: r.a."""
    record: object
    name: str


@dataclass(frozen=True)
class Arrow:
    """arg -> value, the pair the argument aggregations read."""
    arg: object
    value: object


@dataclass(frozen=True)
class ListOf:
    items: tuple


@dataclass(frozen=True)
class Atom:
    pred: str
    args: tuple  # positional terms
    named: tuple = ()  # (column, term) pairs


@dataclass(frozen=True)
class Neg:
    body: tuple


@dataclass(frozen=True)
class Cmp:
    """A comparison; "==" with a new variable on its left binds that variable."""
    op: str
    left: object
    right: object
    binds: bool = False


@dataclass(frozen=True)
class In:
    var: Var
    items: tuple
    binds: bool = True
    # Above 0, the items are written as the rows of a list of lists of this
    # width, the variable taking the values of each row in turn: the same values,
    # unnested twice.
    width: int = 0


@dataclass(frozen=True)
class Or:
    alternatives: tuple  # tuples of literals


@dataclass
class Rule:
    pred: str
    head: tuple  # positional head terms
    body: tuple  # literals, in an order in which they can be evaluated
    distinct: bool = False
    agg: tuple = None  # (column, op, term) of an aggregated head field
    value: object = None  # (op, term) of a functional head: op None for "="
    written_order: tuple = None  # the order in which the body is written out


@dataclass
class Pred:
    name: str
    columns: list  # column names in output order
    kinds: str = None  # per column: "n" number, "t" text
    distinct: bool = False
    kind: str = "plain"  # plain, agg, func (aggregating function), fn (bodiless function), fact
    rules: list = field(default_factory=list)
    agg_op: str = None
    recursive: bool = False
    hidden: bool = False  # a copy made by a functor statement: not written out


@dataclass
class Program:
    tables: dict  # database table name -> list of tuples
    preds: dict  # name -> Pred, in order of definition
    annotations: list
    components: list  # lists of predicate names evaluated together, in order
    query: str
    rows: Counter = None  # the reference rows of the query
    statements: list = field(default_factory=list)  # functor statements
    limit: int = None  # the query's @Limit, with an @OrderBy on all its columns
    order: list = None  # that ordering: (column index, descending) pairs


AGG_TEXT = {"Sum": "+", "Max": "Max", "Min": "Min", "Count": "Count", "Avg": "Avg"}

# ---- writing program text -----------------------------------------------------


def term_text(t):
    if isinstance(t, Var):
        return t.name
    if isinstance(t, Wild):
        return "_"
    if isinstance(t, Const):
        if t.value is None:
            return "null"
        if isinstance(t.value, str):
            return text_literal(t.value)
        return str(t.value)
    if isinstance(t, BinOp):
        def side(s):
            return "(" + term_text(s) + ")" if isinstance(s, BinOp) else term_text(s)
        return f"{side(t.left)} {t.op} {side(t.right)}"
    if isinstance(t, Call):
        return f"{t.name}(" + ", ".join(term_text(a) for a in t.args) + ")"
    if isinstance(t, Combine):
        return f"{t.op}{{{term_text(t.value)} :- " + ", ".join(literal_text(b) for b in t.body) + "}"
    if isinstance(t, IfThen):
        return f"(if {literal_text(t.cond)} then {term_text(t.then)} else {term_text(t.otherwise)})"
    if isinstance(t, Builtin):
        return f"{t.name}({term_text(t.arg)})"
    if isinstance(t, Fn):
        return f"{t.name}(" + ", ".join(term_text(a) for a in t.args) + ")"
    if isinstance(t, Record):
        return "{" + ", ".join(f"{n}: {term_text(v)}" for n, v in t.fields) + "}"
    if isinstance(t, Field):
        return f"{term_text(t.record)}.{t.name}"
    if isinstance(t, Arrow):
        def side(s):
            return "(" + term_text(s) + ")" if isinstance(s, (BinOp, Builtin, Fn)) else term_text(s)
        return f"{side(t.arg)} -> {side(t.value)}"
    if isinstance(t, ListOf):
        return "[" + ", ".join(term_text(i) for i in t.items) + "]"
    raise TypeError(t)


def text_literal(value):
    """A text as a literal: plain double quotes where nothing needs escaping,
    else triple quotes or single quotes with escapes, so that every form is
    written."""
    if not any(c in value for c in '"\\\n\t\''):
        return '"' + value + '"'
    if '"' not in value and "\\" not in value and len(value) % 2 == 0:
        return '"""' + value + '"""'
    escapes = {"\\": "\\\\", "'": "\\'", "\n": "\\n", "\t": "\\t"}
    return "'" + "".join(escapes.get(c, c) for c in value) + "'"


def atom_text(a):
    args = [term_text(t) for t in a.args] + [f"{c}: {term_text(t)}" for c, t in a.named]
    return f"{a.pred}(" + ", ".join(args) + ")"


def literal_text(lit):
    if isinstance(lit, Atom):
        return atom_text(lit)
    if isinstance(lit, Neg):
        if len(lit.body) == 1 and isinstance(lit.body[0], Atom):
            return "~" + atom_text(lit.body[0])
        return "~(" + ", ".join(literal_text(b) for b in lit.body) + ")"
    if isinstance(lit, Cmp):
        right = term_text(lit.right)
        if isinstance(lit.right, Combine):
            right = "(" + right + ")"
        return f"{term_text(lit.left)} {lit.op} {right}"
    if isinstance(lit, In):
        if lit.width and len(lit.items) % lit.width == 0:
            rows = [lit.items[i:i + lit.width] for i in range(0, len(lit.items), lit.width)]
            written = ", ".join("[" + ", ".join(term_text(i) for i in row) + "]" for row in rows)
            return f"{lit.var.name}_row in [{written}], {lit.var.name} in {lit.var.name}_row"
        return f"{lit.var.name} in [" + ", ".join(term_text(i) for i in lit.items) + "]"
    if isinstance(lit, Or):
        return "(" + " | ".join(", ".join(literal_text(b) for b in alt) for alt in lit.alternatives) + ")"
    raise TypeError(lit)


def rule_text(r, columns=None):
    columns = columns or [f"col{i}" for i in range(len(r.head))]
    head_args = [term_text(t) if c.startswith("col") else f"{c}: {term_text(t)}" for c, t in zip(columns, r.head)]
    if r.agg is not None:
        column, op, t = r.agg
        head_args.append(f"{column}? {AGG_TEXT.get(op, op)}= {term_text(t)}")
    head = f"{r.pred}(" + ", ".join(head_args) + ")"
    if r.value is not None:
        op, t = r.value
        head += f" {AGG_TEXT[op] if op else ''}= {term_text(t)}"
    if r.distinct and r.agg is None and r.value is None:
        head += " distinct"
    elif r.agg is not None:
        head += " distinct"
    if not r.body:
        return head + ";"
    body = r.written_order if r.written_order is not None else r.body
    return head + " :- " + ", ".join(literal_text(b) for b in body) + ";"


def program_text(p):
    lines = list(p.annotations)
    for pred in p.preds.values():
        if not pred.hidden:
            lines += [rule_text(r, pred.columns) for r in pred.rules]
    return "\n".join(lines + p.statements) + "\n"


# ---- reference evaluation -------------------------------------------------------


class Unconvergent(Exception):
    pass


def _arith(op, a, b):
    if a is None or b is None:
        return None
    if op == "+":
        return a + b
    if op == "-":
        return a - b
    if op == "*":
        return a * b
    if op == "/":
        return None if b == 0 else a / b
    if op == "++":
        return a + b
    raise ValueError(op)


def _substr(s, start, length):
    """From a position counted from 1, or from the end when negative (0 is 1)."""
    begin = start - 1 if start > 0 else 0 if start == 0 else max(len(s) + start, 0)
    return s[begin:begin + max(length, 0)]


def _pad(s, width, pad, left):
    """Cut to the width, or filled to it with the pad repeated (the pad is never empty)."""
    if width <= len(s):
        return s[:max(width, 0)]
    fill = (pad * width)[:width - len(s)]
    return fill + s if left else s + fill


def _toward_zero(a, b):
    q = abs(a) // abs(b)
    return q if (a < 0) == (b < 0) else -q


# Built-in functions of several arguments, as the language means them on values
# that are not null (a null argument gives null).
FUNCTIONS = {
    "Lower": str.lower,
    "Reverse": lambda s: s[::-1],
    "Trim": lambda s: s.strip(" \t\n"),
    "Substr": _substr,
    "Strpos": lambda s, t: s.find(t) + 1,
    "Replace": lambda s, a, b: s.replace(a, b),
    "Lpad": lambda s, w, p: _pad(s, w, p, True),
    "Rpad": lambda s, w, p: _pad(s, w, p, False),
    "Repeat": lambda s, n: s * max(n, 0),
    "Div": lambda a, b: None if b == 0 else _toward_zero(a, b),
    "Mod": lambda a, b: a - b * _toward_zero(a, b),
}


def _compare(op, a, b):
    """SQL comparison: None (unknown) when either side is null."""
    if op == "is":
        return a is None
    if op == "is not":
        return a is not None
    if a is None or b is None:
        return None
    return {"==": operator.eq, "!=": operator.ne, "<": operator.lt, "<=": operator.le, ">": operator.gt,
            ">=": operator.ge}[op](a, b)


# Aggregations that gather values: what each gives, as a tuple; the generator
# feeds them no null.
LIST_AGG_OPS = ["List", "Set", "Array", "ArgMax", "ArgMin", "Top", "Bottom", "++"]


def gather(op, values):
    """values: (value, multiplicity) pairs. A list whose order the engines may
    choose comes sorted (the test sorts the engine's too); an arrow's argument is
    a function of its value, so ties never make two answers."""
    bag = [v for v, m in values for _ in range(m)]
    if op == "List":
        return tuple(sorted(bag, key=repr))
    if op == "Set":
        return tuple(sorted(set(bag), key=repr))
    if op == "++":
        return tuple(sorted((x for v in bag for x in v), key=repr))
    if op == "Array":  # the values, ordered by argument
        return tuple(v for _, v in sorted(bag, key=lambda p: p[0]))
    if op in ("ArgMax", "ArgMin"):
        pick = max if op == "ArgMax" else min
        return pick(bag, key=lambda p: p[1])[0] if bag else None
    kind, count = op[:-1], int(op[-1])  # Top2: the arguments of the two greatest values
    ordered = sorted(bag, key=lambda p: p[1], reverse=kind == "Top")
    return tuple(a for a, _ in ordered[:count])


def aggregate(op, values):
    """values: (value, multiplicity) pairs; nulls are ignored as SQL does."""
    if op in LIST_AGG_OPS or op[:-1] in ("Top", "Bottom"):
        return gather(op, values)
    present = [(v, m) for v, m in values if v is not None]
    if op == "Count":
        return len({v for v, _ in present})
    if not present:
        return None
    if op == "Sum":
        return sum(v * m for v, m in present)
    if op == "Max":
        return max(v for v, _ in present)
    if op == "Min":
        return min(v for v, _ in present)
    if op == "Avg":
        return sum(v * m for v, m in present) / sum(m for _, m in present)
    raise ValueError(op)


def _alternative_bodies(body):
    """A rule with disjunctions is the rules of its alternatives, each chosen
    in place: a call in an alternative binds before the rest of that rule's
    lists and equalities do, as in any rule."""
    bodies = [()]
    for lit in body:
        if isinstance(lit, Or):
            bodies = [b + tuple(alt) for b in bodies for alt in lit.alternatives]
        else:
            bodies = [b + (lit,) for b in bodies]
    return bodies


class Evaluator:
    def __init__(self, program):
        self.program = program
        self.rel = {name: Counter(rows) for name, rows in program.tables.items()}
        self.outside = set()  # the names of the rule (and combines) being read, outside inner combines

    # terms
    def value(self, t, env):
        if isinstance(t, Var):
            return env[t.name]
        if isinstance(t, Const):
            return t.value
        if isinstance(t, BinOp):
            return _arith(t.op, self.value(t.left, env), self.value(t.right, env))
        if isinstance(t, Record):
            return tuple((n, self.value(v, env)) for n, v in t.fields)
        if isinstance(t, Field):
            record = self.value(t.record, env)
            return None if record is None else dict(record)[t.name]
        if isinstance(t, Arrow):
            return (self.value(t.arg, env), self.value(t.value, env))
        if isinstance(t, ListOf):
            return tuple(self.value(i, env) for i in t.items)
        if isinstance(t, Call):
            fn = self.program.preds[t.name]
            args = tuple(self.value(a, env) for a in t.args)
            if fn.kind == "fn":
                r = fn.rules[0]
                inner = {p.name: a for p, a in zip(r.head, args)}
                return self.value(r.value[1], inner)
            # An aggregating function reads its table; a key it lacks gives null.
            for row in self.rel[t.name]:
                if all(_compare("==", a, v) for a, v in zip(args, row)):
                    return row[-1]
            return None
        if isinstance(t, Combine):
            values = Counter()
            around = self.outside
            self.outside = around | variable_names((t.value, t.body), in_combines=False)
            for e, m in self.matches(t.body, env):
                values[self.value(t.value, e)] += m
            self.outside = around
            return aggregate(t.op, values.items())
        if isinstance(t, Builtin):
            v = self.value(t.arg, env)
            return None if v is None else v.upper() if t.name == "Upper" else len(v)
        if isinstance(t, Fn):
            args = [self.value(a, env) for a in t.args]
            return None if None in args else FUNCTIONS[t.name](*args)
        if isinstance(t, IfThen):
            c = t.cond
            if _compare(c.op, self.value(c.left, env), self.value(c.right, env)):
                return self.value(t.then, env)
            return self.value(t.otherwise, env)
        raise TypeError(t)

    # bodies: a generator of (environment, multiplicity)
    # bodies: a generator of (environment, multiplicity). Calls bind first; then
    # equalities that can bind a variable do, and only when none can does the
    # first list (in the order written) whose variable is unbound give it its
    # values, repeats included; what is left tests.
    def matches(self, body, env, mult=1):
        atoms = tuple(x for x in body if isinstance(x, Atom))
        yield from self.calls(atoms, tuple(x for x in body if not isinstance(x, Atom)), env, mult)

    def calls(self, atoms, rest, env, mult):
        if not atoms:
            yield from self.settle(rest, env, mult)
            return
        lit = atoms[0]
        pred = self.program.preds.get(lit.pred)
        cols = pred.columns if pred is not None else None
        pairs = list(enumerate(lit.args))
        if lit.named:
            pairs += [(cols.index(c), t) for c, t in lit.named]
        for row, m in self.rel.get(lit.pred, Counter()).items():
            e = env
            ok = True
            for i, t in pairs:
                v = row[i]
                if isinstance(t, Wild):
                    continue
                if isinstance(t, Var) and t.name not in e:
                    e = dict(e)
                    e[t.name] = v
                    continue
                if not _compare("==", self.value(t, e), v):
                    ok = False
                    break
            if ok:
                yield from self.calls(atoms[1:], rest, e, mult * m)

    def settle(self, pending, env, mult):
        for i, lit in enumerate(pending):
            if isinstance(lit, Cmp) and lit.op == "==":
                for var, other in ((lit.left, lit.right), (lit.right, lit.left)):
                    needs = self.free(other)
                    if isinstance(var, Var) and var.name not in env and var.name not in needs and needs <= env.keys():
                        e = dict(env)
                        e[var.name] = self.value(other, env)
                        yield from self.settle(pending[:i] + pending[i + 1:], e, mult)
                        return
        for i, lit in enumerate(pending):
            if isinstance(lit, In) and lit.var.name not in env and self.free(lit.items) <= env.keys():
                for item in lit.items:
                    e = dict(env)
                    e[lit.var.name] = self.value(item, env)
                    yield from self.settle(pending[:i] + pending[i + 1:], e, mult)
                return
        yield from self.tests(pending, env, mult)

    def tests(self, pending, env, mult):
        if not pending:
            yield env, mult
            return
        lit, rest = pending[0], pending[1:]
        if isinstance(lit, Cmp):
            if _compare(lit.op, self.value(lit.left, env), self.value(lit.right, env)):
                yield from self.tests(rest, env, mult)
        elif isinstance(lit, In):
            v = self.value(lit.var, env)
            if any(_compare("==", v, self.value(i, env)) for i in lit.items):
                yield from self.tests(rest, env, mult)
        elif isinstance(lit, Neg):
            if next(self.matches(lit.body, env), None) is None:
                yield from self.tests(rest, env, mult)
        elif isinstance(lit, Or):
            for alt in lit.alternatives:
                yield from self.matches(tuple(alt) + rest, env, mult)
        else:
            raise TypeError(lit)

    def free(self, t):
        """The names of the variables a term needs: its own, and of a combine
        those that the rule (or combine) around it names too."""
        if isinstance(t, Var):
            return {t.name}
        if isinstance(t, Combine):
            return variable_names(t) & self.outside
        if isinstance(t, tuple):
            return set().union(*(self.free(x) for x in t))
        if hasattr(t, "__dataclass_fields__"):
            return set().union(*(self.free(getattr(t, f)) for f in t.__dataclass_fields__))
        return set()

    def rule_rows(self, r):
        """The rows of one rule: a Counter of head tuples, or, for an aggregating
        rule, a Counter of (group key, value) matches."""
        out = Counter()
        self.outside = variable_names((r.head, r.body, r.agg, r.value), in_combines=False)
        for body in _alternative_bodies(r.written_order if r.written_order is not None else r.body):
            for env, m in self.matches(body, {}):
                key = tuple(self.value(t, env) for t in r.head)
                if r.agg is not None:
                    out[key, self.value(r.agg[2], env)] += m
                elif r.value is not None:
                    out[key, self.value(r.value[1], env)] += m
                else:
                    out[key] += m
        return out

    def predicate_rows(self, pred):
        if pred.kind == "fn":
            return Counter()
        parts = [self.rule_rows(r) for r in pred.rules]
        if pred.kind in ("agg", "func", "coll") or (pred.kind == "big" and pred.agg_op):
            groups = {}
            for part in parts:
                for (key, v), m in part.items():
                    groups.setdefault(key, Counter())[v] += m
            if not groups and len(pred.columns) == 1:
                # An aggregation without groups gives one row, as over an empty combine.
                groups[()] = Counter()
            return Counter({key + (aggregate(pred.agg_op, vals.items()),): 1 for key, vals in groups.items()})
        total = Counter()
        for part in parts:
            total.update(part)
        if pred.distinct:
            return Counter({row: 1 for row in total})
        return total

    def run(self):
        for component in self.program.components:
            preds = [self.program.preds[n] for n in component]
            if not any(p.recursive for p in preds):
                for p in preds:
                    self.rel[p.name] = self.predicate_rows(p)
                continue
            for p in preds:
                self.rel[p.name] = Counter()
            for _ in range(60):
                new = {p.name: self.predicate_rows(p) for p in preds}
                if all(new[p.name] == self.rel[p.name] for p in preds):
                    break
                self.rel.update(new)
            else:
                raise Unconvergent(component)
        return self.rel


def variable_names(x, in_combines=True):
    """The names of the variables a tree names (outside its combines, if asked)."""
    if isinstance(x, Var):
        return {x.name}
    if isinstance(x, Combine) and not in_combines:
        return set()
    if isinstance(x, (tuple, list)):
        return set().union(*(variable_names(y, in_combines) for y in x))
    if hasattr(x, "__dataclass_fields__"):
        return set().union(*(variable_names(getattr(x, f), in_combines) for f in x.__dataclass_fields__))
    return set()


def first_rows(rows, order, limit):
    """The first rows of a bag in the given order."""
    ordered = sorted(rows.elements(), key=repr)
    for i, desc in reversed(order):
        ordered.sort(key=lambda row: row[i], reverse=desc)
    return Counter(ordered[:limit])


def reference_rows(program):
    rows = Evaluator(program).run()[program.query]
    if program.limit is not None:
        rows = first_rows(rows, program.order, program.limit)
    return rows


# ---- generation -------------------------------------------------------------------

DOMAIN = range(0, 5)
CMP_OPS = ["==", "!=", "<", "<=", ">", ">="]
AGG_OPS = ["Sum", "Max", "Min", "Count", "Avg"]
WORDS = ["a", "b", "ab", "B", ""]
# Texts that must reach the engines as they are: line breaks, quotes,
# backslashes, tabs and characters past ASCII (without case, which SQLite's
# Upper leaves alone).
ODD_WORDS = ["a\nb", "two\n\nlines", "it's", 'say "hi"', "back\\slash", "tab\tx", "€", "日本", "x\n"]
# Integers that 32 bits do not hold, and one that they just do. Only the table
# Big and big_pred's arithmetic meet them: a product of two of them would
# leave 64 bits too, which an engine may compute on rows the reference never
# reaches.
BIG = [2147483647, 3000000000, -2147483649, 10000000000]
# Integers that a double does not hold exactly, up to the largest 64-bit one.
HUGE = [9007199254740993, -9007199254740995, 9223372036854775807, -9223372036854775807, 4611686018427387905]
# Tables of the database: name -> the kind of each column, "n" for a number and
# "t" for a text. Dag holds only edges that go up, so that recursion that keeps
# duplicates still ends; W holds no null and its last column is a weight of 0 or
# more. Full holds every edge that goes up between a few nodes: a dense graph
# on which a recursion that keeps duplicates counts many paths (only recursions
# read it, to keep joins small).
DATABASE = {"E": "nn", "Dag": "nn", "W": "nnn", "U": "n", "T": "nnn", "N": "nt", "Full": "nn", "Big": "nn"}


class Options:
    """Which constructs the generator may use; all on by default."""

    def __init__(self, **kw):
        self.nulls_in_tables = kw.get("nulls_in_tables", True)
        self.recursion = kw.get("recursion", True)
        self.ground = kw.get("ground", True)
        self.functions = kw.get("functions", True)
        self.combines = kw.get("combines", True)
        self.division = kw.get("division", True)
        self.lists_of_lists = kw.get("lists_of_lists", True)
        # An @OrderBy of a column holding lists or records.
        self.ordered_containers = kw.get("ordered_containers", True)


class Generator:
    def __init__(self, seed, options=None):
        self.rng = random.Random(seed)
        self.opt = options or Options()
        # Shapes added later draw from a stream of their own first, so that a
        # seed keeps the program it had unless one of them is chosen.
        self.later = random.Random(seed * 31 + 7)

    @contextmanager
    def drawing_later(self):
        main, self.rng = self.rng, self.later
        try:
            yield
        finally:
            self.rng = main

    # -- tables
    def tables(self):
        rng = self.rng
        out = {}
        for name, kinds in DATABASE.items():
            arity = len(kinds)
            rows = []
            for _ in range(rng.choice([0, 2, 4, 5, 6, 8])):
                if name in ("Full", "Big"):
                    break
                if name == "Dag":
                    a, b = sorted(rng.sample(list(DOMAIN), 2))
                    row = (a, b)
                elif name == "W":
                    row = (rng.choice(DOMAIN), rng.choice(DOMAIN), rng.choice(DOMAIN))
                else:
                    row = tuple(self.const(k).value for k in kinds)
                    if self.opt.nulls_in_tables and rng.random() < 0.1:
                        i = rng.randrange(arity)
                        row = row[:i] + (None,) + row[i + 1:]
                rows.append(row)
                if rng.random() < 0.2:
                    rows.append(row)
            out[name] = rows
        nodes = rng.randint(4, 7)
        out["Full"] = [(a, b) for a in range(nodes) for b in range(a + 1, nodes)]
        out["Big"] = [(rng.choice(DOMAIN), rng.choice(BIG + [0, 1])) for _ in range(rng.choice([0, 2, 4]))]
        return out

    # -- program
    def program(self):
        rng = self.rng
        self.preds = {}
        self.order = []  # components
        self.annotations = []
        self.statements = []
        self.counter = 0
        tables = self.tables()
        self.tables_ = tables
        if rng.random() < 0.5:
            self.fact_pred()
        if self.opt.functions and rng.random() < 0.3:
            self.bodiless_function()
        n = rng.randint(2, 5)
        for i in range(n):
            if self.opt.recursion and rng.random() < 0.25 and not any(
                    p.recursive for p in self.preds.values()):
                self.recursion()
            choice = rng.random()
            if self.opt.functions and choice < 0.12:
                self.aggregating_function()
            elif choice < 0.3:
                self.aggregating_pred()
            elif choice < 0.36:
                self.collection_pred()
            elif choice < 0.41:
                self.record_pred()
            elif choice < 0.45:
                self.big_pred()
            else:
                self.plain_pred()
        if self.later.random() < 0.25:
            with self.drawing_later():
                self.text_pred()
        if not any(p.kind not in ("fn", "rec") for p in self.preds.values()):
            self.plain_pred()  # something to ask for
        if rng.random() < 0.2:
            self.functor()
        program = Program(tables, dict(self.preds), self.annotations, self.order, None, statements=self.statements)
        # Mostly ask for the last predicate that has rows: empty answers agree too easily.
        rel = Evaluator(program).run()
        candidates = [n for c in self.order for n in c if self.preds[n].kind not in ("fn", "rec")]
        full = [n for n in candidates if rel[n]]
        # A program of copies only still asks for one of them.
        candidates = [n for n in candidates if "_copy_" not in n] or candidates
        full = [n for n in full if "_copy_" not in n]
        program.query = full[-1] if full and rng.random() < 0.9 else rng.choice(candidates)
        program.rows = rel[program.query]
        # No rows tell what the columns hold.
        containers = not program.rows or any(isinstance(v, (list, tuple, dict)) for row in program.rows for v in row)
        if rng.random() < 0.15 and not any(None in row for row in program.rows) and (
                self.opt.ordered_containers or not containers):
            # A total order over all columns makes the first rows certain.
            pred = self.preds[program.query]
            program.limit = rng.randint(0, 4)
            program.order = [(i, rng.random() < 0.5) for i in range(len(pred.columns))]
            rng.shuffle(program.order)
            items = ", ".join(f'"{pred.columns[i]}{" desc" if desc else ""}"' for i, desc in program.order)
            self.annotations.append(f"@OrderBy({program.query}, {items});")
            self.annotations.append(f"@Limit({program.query}, {program.limit});")
            program.rows = first_rows(program.rows, program.order, program.limit)
        return program

    def new_name(self, prefix):
        self.counter += 1
        return f"{prefix}{self.counter}"

    def add(self, pred, component=None):
        self.preds[pred.name] = pred
        self.order.append(component or [pred.name])

    # relations a body may read: (name, columns, kinds)
    def relations(self):
        rels = [(n, [f"col{i}" for i in range(len(k))], k) for n, k in DATABASE.items() if n not in ("Big", "Full")]
        rels += [(p.name, p.columns, p.kinds) for p in self.preds.values() if p.kind in ("plain", "agg", "fact", "func")]
        return rels

    def const(self, kind):
        r = self.rng.random()
        if kind == "t":
            return Const(self.rng.choice(ODD_WORDS if r < 0.15 else WORDS))
        return Const(self.rng.choice(DOMAIN))

    def kinds(self, n):
        return "".join("t" if self.rng.random() < 0.15 else "n" for _ in range(n))

    def fact_pred(self, kinds=None, count=None, nulls=0.1):
        """Facts: of count rows (one is injected as constants), or of a few that
        may repeat."""
        rng = self.rng
        kinds = kinds or self.kinds(rng.randint(1, 3))
        name = self.new_name("F")
        pred = Pred(name, [f"col{i}" for i in range(len(kinds))], kinds, kind="fact")
        rows = set()
        for _ in range(count or rng.randint(1, 5)):
            row = tuple(self.const(k).value for k in kinds)
            if rng.random() < nulls:
                i = rng.randrange(len(kinds))
                row = row[:i] + (None,) + row[i + 1:]
            rows.add(row)
        rows = sorted(rows, key=repr)
        if count is None and rng.random() < 0.3:
            rows.append(rng.choice(rows))
        if nulls and self.later.random() < 0.1:
            # A column of nulls only: an engine may give it a type of its own,
            # which then meets the columns it is joined or compared with.
            i = self.later.randrange(len(kinds))
            rows = [row[:i] + (None,) + row[i + 1:] for row in rows]
        pred.rules = [Rule(name, tuple(Const(v) for v in row), ()) for row in rows]
        self.add(pred)
        return pred

    def bodiless_function(self):
        rng = self.rng
        name = self.new_name("G")
        params = [Var("p"), Var("q")][: rng.randint(1, 2)]
        body = self.arith(params, depth=2, allow_div=False)
        pred = Pred(name, [f"col{i}" for i in range(len(params))], "n" * len(params), kind="fn")
        pred.rules = [Rule(name, tuple(params), (), value=(None, body))]
        self.add(pred)

    # -- terms
    def arith(self, vars_, depth=1, allow_div=True):
        rng = self.rng
        vars_ = nums(vars_)
        if depth == 0 or rng.random() < 0.4:
            if vars_ and rng.random() < 0.75:
                return rng.choice(vars_)
            return Const(rng.randint(-2, 4))
        ops = ["+", "-", "*"] + (["/"] if allow_div and self.opt.division else [])
        op = rng.choice(ops)
        if op == "/":
            return BinOp("/", self.arith(vars_, depth - 1, False), Const(rng.choice([2, 4])))
        return BinOp(op, self.arith(vars_, depth - 1, allow_div), self.arith(vars_, depth - 1, allow_div))

    # -- rule bodies
    def body(self, scope, want_vars=1, depth=0, allow_or=True):
        """A body that binds at least want_vars variables. scope: a rule-wide
        name source; returns (literals, bound variable list)."""
        rng = self.rng
        lits = []
        bound = []
        rels = self.relations()
        n_atoms = rng.choice([1, 1, 2, 2, 3]) if depth == 0 else rng.choice([1, 1, 2])
        for _ in range(n_atoms):
            lits.append(self.atom(*rng.choice(rels), bound, scope))
        if rng.random() < 0.1 and depth == 0:
            v = scope.fresh()
            # Repeats count when the list gives the variable its values, and not
            # when a call or an equality gives them (the list then only tests).
            lits.append(In(v, tuple(Const(i) for i in rng.choices(list(DOMAIN), k=rng.randint(1, 4)))))
            r = rng.random()
            if r < 0.3 and nums(bound):
                lits.insert(0, Cmp("==", v, self.arith(nums(bound), 1, False), binds=True))
            elif r < 0.5:
                lits.insert(0, Cmp("==", v, Const(rng.choice(DOMAIN)), binds=True))
            elif r < 0.7:
                lits.append(Atom(rng.choice(["U", "Dag", "E"]), (v,)))
            elif self.opt.lists_of_lists and len(lits[-1].items) % 2 == 0 and self.later.random() < 0.5:
                # Only where the list gives the variable its values: one that
                # tests would count the rows holding the value.
                lits[-1] = In(v, lits[-1].items, width=2)
            bound.append(v)
        # a new variable computed from others
        if bound and rng.random() < 0.35:
            if texts(bound) and rng.random() < 0.3:
                v = scope.fresh(text=True)
                lits.append(Cmp("==", v, self.text_term(bound), binds=True))
            else:
                v = scope.fresh()
                lits.append(Cmp("==", v, self.value_term(bound, scope, depth), binds=True))
            bound.append(v)
        # conditions
        for _ in range(rng.choice([0, 0, 0, 1, 1, 2])):
            if bound:
                lits.append(self.condition(bound, scope, depth))
        if bound and allow_or and depth == 0 and rng.random() < 0.15:
            alternatives = [(self.condition(bound, scope, 1),) for _ in range(rng.randint(2, 3))]
            lits.append(Or(tuple(alternatives)))
        if bound and allow_or and depth == 0 and rng.random() < 0.1:
            lits.append(self.atom_alternatives(bound, scope))
        if nums(bound) and rng.random() < 0.1:
            items = rng.sample(list(DOMAIN), rng.randint(1, 3))
            lits.append(In(rng.choice(nums(bound)), tuple(Const(i) for i in items), binds=False))
        # negation
        if bound and rng.random() < 0.3 and depth < 2:
            lits.append(self.negation(bound, scope, depth))
        return lits, bound

    def atom(self, name, cols, kinds, bound, scope):
        rng = self.rng
        args = []
        nm = []
        for c, k in zip(cols, kinds):
            if c.startswith("col"):
                args.append(self.atom_arg(bound, scope, k))
            elif rng.random() < 0.8:
                nm.append((c, self.atom_arg(bound, scope, k)))
        nm = tuple(nm)
        # Keep trailing wildcards away sometimes: a shorter call names fewer columns.
        while args and isinstance(args[-1], Wild) and rng.random() < 0.5:
            args.pop()
        a = Atom(name, tuple(args), nm)
        for t in list(args) + [t for _, t in nm]:
            if isinstance(t, Var) and t not in bound:
                bound.append(t)
        return a

    def atom_arg(self, bound, scope, kind):
        rng = self.rng
        r = rng.random()
        same = texts(bound) if kind == "t" else nums(bound)
        if r < 0.1:
            return Wild()
        if r < 0.17:
            return self.const(kind)
        if same and r < 0.5:
            return rng.choice(same)
        return scope.fresh(text=kind == "t")

    def known(self, bound, kind):
        """An argument for a column of the given kind that binds nothing new."""
        same = texts(bound) if kind == "t" else nums(bound)
        r = self.rng.random()
        if same and r < 0.5:
            return self.rng.choice(same)
        return Wild() if r < 0.8 else self.const(kind)

    def text_term(self, bound):
        if self.later.random() < 0.35:
            with self.drawing_later():
                return self.text_function(bound)
        rng = self.rng
        r = rng.random()
        t = rng.choice(texts(bound))
        if r < 0.4:
            return Builtin("Upper", t)
        other = rng.choice(texts(bound)) if r < 0.7 else self.const("t")
        return BinOp("++", t, other)

    def text_function(self, bound):
        """A text function of a text of the body, with positions, widths and counts
        that reach past either end, and patterns of several bytes a character
        (without case: SQLite's and PostgreSQL's Upper leave é as it is)."""
        rng = self.rng
        t = rng.choice(texts(bound))
        if rng.random() < 0.25:
            t = self.text_function(bound)
        name = rng.choice(["Lower", "Reverse", "Trim", "Substr", "Substr", "Replace", "Lpad", "Rpad", "Repeat"])
        if name == "Substr":
            start, length = Const(rng.randint(-4, 4)), Const(rng.randint(0, 3))
            if self.later.random() < 0.15:
                # A start or a length past 32 bits, which every engine cuts to the
                # text: also a missing text's, which has no length to cut them to.
                far = Const(self.later.choice([4294967297, 9223372036854775807, -9223372036854775807]))
                start, length = (far, length) if self.later.random() < 0.5 else (start, Const(abs(far.value)))
            return Fn(name, (t, start, length))
        if name == "Replace":
            return Fn(name, (t, Const(rng.choice(["a", "b", "ab", "\n", "本"])), Const(rng.choice(["", "x", "€", "aa"]))))
        if name in ("Lpad", "Rpad"):
            return Fn(name, (t, Const(rng.randint(0, 5)), Const(rng.choice(["x", "€", "ab"]))))
        if name == "Repeat":
            return Fn(name, (t, Const(rng.randint(0, 2))))
        return Fn(name, (t,))

    def number_function(self, bound):
        """Integer quotients and remainders of negatives, by zero too (a quotient by
        zero is null), and positions of texts."""
        rng = self.rng
        if texts(bound) and rng.random() < 0.3:
            t = rng.choice(texts(bound))
            if rng.random() < 0.4:
                t = self.text_function(bound)
            if rng.random() < 0.5:
                return Builtin("Length", t)
            return Fn("Strpos", (t, Const(rng.choice(["", "a", "b", "\n", "本"]))))
        x = self.arith(bound, 1, allow_div=False)
        if rng.random() < 0.5:
            return Fn("Div", (x, Const(rng.choice([-3, -2, -1, 0, 1, 2, 3]))))
        return Fn("Mod", (x, Const(rng.choice([-3, -2, -1, 1, 2, 3]))))

    def value_term(self, bound, scope, depth):
        if self.later.random() < 0.12:
            with self.drawing_later():
                return self.number_function(bound)
        rng = self.rng
        r = rng.random()
        fns = [p for p in self.preds.values() if p.kind == "fn"]
        aggfns = [p for p in self.preds.values() if p.kind == "func"]
        if self.opt.combines and depth < 2 and r < 0.25:
            return self.combine(bound, scope, depth)
        if r < 0.3:
            return IfThen(self.condition(bound, scope, 2), self.arith(bound, 1), self.arith(bound, 1))
        if fns and r < 0.4:
            f = rng.choice(fns)
            return Call(f.name, tuple(self.arith(bound, 1, False) for _ in f.columns))
        if aggfns and nums(bound) and r < 0.5:
            f = rng.choice(aggfns)
            return Call(f.name, tuple(rng.choice(nums(bound)) for _ in f.columns[:-1]))
        if texts(bound) and r < 0.55:
            return Builtin("Length", rng.choice(texts(bound)))
        return self.arith(bound, 2)

    def combine(self, bound, scope, depth):
        rng = self.rng
        op = rng.choice(AGG_OPS)
        inner_scope = scope
        lits, inner_bound = self.body(inner_scope, depth=depth + 1, allow_or=False)
        # correlate: reuse an outer variable inside
        if nums(bound) and rng.random() < 0.6:
            o = rng.choice(nums(bound))
            name, cols, kinds = rng.choice([r for r in self.relations() if r[1][0] == "col0" and r[2][0] == "n"])
            args = [o] + [scope.fresh(text=k == "t") for c, k in zip(cols[1:], kinds[1:]) if c.startswith("col")]
            atom = Atom(name, tuple(args))
            lits.insert(0, atom)
            inner_bound += [a for a in args[1:]]
        usable = [v for v in inner_bound]
        value = self.arith(usable, 1, allow_div=False) if usable else Const(1)
        return Combine(op, value, tuple(lits))

    def condition(self, bound, scope, depth):
        rng = self.rng
        op = rng.choice(CMP_OPS)
        left = rng.choice(bound)
        others = [v for v in bound if v != left and v.text == left.text]
        r = rng.random()
        if r < 0.06:
            return Cmp(rng.choice(["is", "is not"]), left, Const(None))
        if left.text:
            right = self.const("t") if r < 0.5 or not others else rng.choice(others)
            return Cmp(op, left, right)
        if self.opt.combines and depth < 2 and r < 0.1:
            right = self.combine(bound, scope, depth)
        elif r < 0.5 or not others:
            right = Const(rng.choice(DOMAIN))
        elif r < 0.8:
            right = rng.choice(others)
        else:
            right = self.arith(bound, 1)
        return Cmp(op, left, right)

    def atom_alternatives(self, bound, scope):
        """(A(x, ..) | B(x, ..)): each alternative reads only variables bound
        already, so the alternatives bind nothing new."""
        rng = self.rng
        alts = []
        for _ in range(2):
            name, cols, kinds = rng.choice(self.relations())
            args = [self.known(bound, k) for c, k in zip(cols, kinds) if c.startswith("col")]
            alts.append((Atom(name, tuple(args)),))
        return Or(tuple(alts))

    def negation(self, bound, scope, depth):
        rng = self.rng
        name, cols, kinds = rng.choice(self.relations())
        if rng.random() < 0.6:
            args = [self.known(bound, k) for c, k in zip(cols, kinds) if c.startswith("col")]
            return Neg((Atom(name, tuple(args)),))
        local = list(bound)
        inner = [self.atom(name, cols, kinds, local, scope)]
        new = [v for v in local if v not in bound]
        if new and rng.random() < 0.7:
            inner.append(self.condition(local, scope, depth + 1))
        if rng.random() < 0.3 and depth < 1:
            inner.append(self.negation(local, scope, depth + 1))
        return Neg(tuple(inner))

    # -- predicates
    def head_terms(self, bound, kinds):
        rng = self.rng
        terms = []
        for kind in kinds:
            r = rng.random()
            if kind == "t":
                t = texts(bound)
                terms.append(rng.choice(t) if t and r < 0.8 else self.text_term(bound) if t else self.const("t"))
            elif r < 0.75 or not nums(bound):
                terms.append(rng.choice(nums(bound)) if nums(bound) else self.const("n"))
            elif r < 0.85:
                terms.append(self.arith(bound, 1))
            elif r < 0.92:
                terms.append(IfThen(self.condition(bound, None, 2), rng.choice(nums(bound)), self.arith(bound, 1)))
            else:
                terms.append(self.const("n"))
        return tuple(terms)

    def written(self, body):
        order = list(body)
        if self.rng.random() < 0.5:
            self.rng.shuffle(order)
        return tuple(order)

    def plain_pred(self):
        rng = self.rng
        name = self.new_name("P")
        arity = rng.randint(1, 3)
        distinct = rng.random() < 0.35
        columns = [f"col{i}" for i in range(arity)]
        if rng.random() < 0.25:
            named = rng.randint(1, arity)
            columns = columns[: arity - named] + ["u", "v", "w"][: named]
        pred = Pred(name, columns, self.kinds(arity), distinct=distinct)
        for _ in range(rng.choice([1, 1, 1, 2, 2, 3])):
            scope = Scope(name)
            lits, bound = self.body(scope)
            if not bound:
                continue
            head = self.head_terms(bound, pred.kinds)
            pred.rules.append(Rule(name, head, tuple(lits), distinct=distinct, written_order=self.written(lits)))
        if not pred.rules:
            return
        self.repeat(pred)
        if self.opt.ground and rng.random() < 0.1:
            self.annotations.append(f"@Ground({name});")
        self.add(pred)

    def aggregating_pred(self):
        rng = self.rng
        name = self.new_name("A")
        groups = rng.randint(0, 2)
        op = rng.choice(AGG_OPS)
        column = rng.choice(["s", "m", "agg"])
        pred = Pred(name, [f"col{i}" for i in range(groups)] + [column], self.kinds(groups) + "n", distinct=True,
                    kind="agg", agg_op=op)
        for _ in range(rng.choice([1, 1, 2])):
            scope = Scope(name)
            lits, bound = self.body(scope)
            if not bound:
                continue
            pred.rules.append(Rule(name, self.head_terms(bound, pred.kinds[:-1]), tuple(lits), distinct=True,
                                   agg=(column, op, self.arith(bound, 1, allow_div=op == "Sum")),
                                   written_order=self.written(lits)))
        if not pred.rules:
            return
        self.repeat(pred)
        self.add(pred)

    def aggregating_function(self):
        rng = self.rng
        name = self.new_name("S")
        groups = rng.randint(1, 2)
        op = rng.choice(["Sum", "Max", "Min", "Count"])
        pred = Pred(name, [f"col{i}" for i in range(groups)] + ["quoril_value"], "n" * (groups + 1), distinct=True,
                    kind="func", agg_op=op)
        for _ in range(rng.choice([1, 1, 2])):
            scope = Scope(name)
            lits, bound = self.body(scope)
            if not nums(bound):
                continue
            head = tuple(rng.choice(nums(bound)) for _ in range(groups))
            pred.rules.append(Rule(name, head, tuple(lits), value=(op, self.arith(bound, 1, False)),
                                   written_order=self.written(lits)))
        if not pred.rules:
            return
        self.repeat(pred)
        self.add(pred)

    def collection_pred(self):
        """An aggregation that gathers values (a list, a set, the argument of the
        greatest value, ...) or sums them, over constants, over the rows of a fact,
        or over a body grouped by at least one column (so that no group is empty)."""
        rng = self.rng
        name = self.new_name("C")
        op = rng.choice(LIST_AGG_OPS + ["Sum", "Max", "Count"])
        gathers = op in LIST_AGG_OPS
        if op in ("Top", "Bottom"):
            count = rng.randint(1, 3)
            line = f"{op}{count}(x) = {'ArgMaxK' if op == 'Top' else 'ArgMinK'}(x, {count});"
            op += str(count)
            if line not in self.annotations:
                self.annotations.append(line)
        source = rng.choice(["constant", "fact", "body"])
        column = rng.choice(["s", "agg"])
        scope = Scope(name)
        groups = ""
        if source == "constant":
            kind = rng.choice("nt")  # of the gathered constants (or arguments), the same in every rule
            # Values differ from rule to rule: no tie for the greatest.
            values = rng.sample(list(DOMAIN), rng.choice([1, 1, 2]))
            rules = [((), (), self.gathered(op, [], constant=(kind, value))) for value in values]
        elif source == "fact":
            # Sums meet nulls; a gathered null would stand in a list.
            kinds = rng.choice(["n", "tn", "nn"])
            if gathers:
                fact = self.fact_pred(kinds, count=1 if rng.random() < 0.6 else rng.randint(2, 4), nulls=0)
            else:
                fact = self.fact_pred(kinds, nulls=0.3)
            vars_ = [scope.fresh(text=k == "t") for k in fact.kinds]
            term = self.gathered(op, vars_, any_arg=len(fact.rules) == 1)
            if term is None:
                return
            rules = [((), (Atom(fact.name, tuple(vars_)),), term)]
        else:
            lits, bound = self.body(scope, allow_or=False)
            term = self.gathered(op, bound)
            if term is None:
                return
            head = (rng.choice(bound),)
            lits += [Cmp("is not", Var(v), Const(None)) for v in sorted(variable_names(term))]
            rules = [(head, tuple(lits), term)]
            groups = "t" if head[0].text else "n"
        kind = {"List": "B", "Set": "B", "++": "B", "Array": "L"}.get(op, "L" if op[:-1] in ("Top", "Bottom") else "n")
        if op in ("ArgMax", "ArgMin"):
            arg = rules[0][2].arg
            kind = "L" if isinstance(arg, ListOf) else "t" if isinstance(arg, (Var, Const)) and is_text(arg) else "n"
        pred = Pred(name, [f"col{i}" for i in range(len(groups))] + [column], groups + kind, distinct=True,
                    kind="coll", agg_op=op)
        for head, body, term in rules:
            pred.rules.append(Rule(name, head, body, distinct=True, agg=(column, op, term),
                                   written_order=self.written(body)))
        self.add(pred)

    def gathered(self, op, vars_, constant=None, any_arg=False):
        """What an aggregation gathers from the variables, or from constants:
        (kind, value). An arrow's argument is a function of its value that never
        maps two values to one, unless any_arg (one row): ties then cannot make two
        answers."""
        rng = self.rng
        numbers = [Const(constant[1])] if constant else nums(vars_)
        if not numbers:
            return None
        x = rng.choice(numbers)

        def injective(t):
            return rng.choice([t, BinOp("+", t, Const(rng.randint(1, 3))), BinOp("*", t, Const(2))])

        if op in ("ArgMax", "ArgMin") or op[:-1] in ("Top", "Bottom"):
            if constant:
                return Arrow(self.const(constant[0]), x)
            if any_arg and len(vars_) > 1:
                return Arrow(rng.choice([v for v in vars_ if v != x]), x)
            # A list picked whole, of one or two elements.
            if op in ("ArgMax", "ArgMin") and self.later.random() < 0.5:
                return Arrow(ListOf((x, injective(x))[:self.later.randint(1, 2)]), x)
            return Arrow(injective(x), x)
        if op == "Array":
            if any_arg and len(vars_) > 1:
                return Arrow(rng.choice([v for v in vars_ if v != x]), x)
            return Arrow(x, injective(x))
        if op == "++":
            return ListOf(tuple(rng.choice(numbers) for _ in range(rng.randint(1, 3))))
        if op in ("List", "Set"):
            return self.const(constant[0]) if constant else rng.choice(vars_)
        return x

    def text_pred(self):
        """Text functions of the texts of N (empty, of several lines, quoted, past
        ASCII), one over another, with their lengths and positions, compared and
        counted."""
        rng = self.rng
        name = self.new_name("X")
        scope = Scope(name)
        k, s = scope.fresh(), scope.fresh(text=True)
        lits = [Atom("N", (k, s))]
        bound = [k, s]
        for _ in range(rng.randint(1, 3)):
            text = rng.random() < 0.6
            v = scope.fresh(text=text)
            lits.append(Cmp("==", v, self.text_function(bound) if text else self.number_function(bound), binds=True))
            bound.append(v)
        if rng.random() < 0.4:
            lits.append(self.condition(bound[1:], scope, 2))
        if rng.random() < 0.3:
            op = rng.choice(["Count", "Max", "Sum"])
            term = rng.choice(texts(bound)) if op == "Count" else self.number_function(bound)
            pred = Pred(name, ["col0", "agg"], "nn", distinct=True, kind="agg", agg_op=op)
            pred.rules = [Rule(name, (k,), tuple(lits), distinct=True, agg=("agg", op, term),
                               written_order=self.written(lits))]
        else:
            head = tuple(rng.sample(bound, rng.randint(1, len(bound))))
            pred = Pred(name, [f"col{i}" for i in range(len(head))], "".join("t" if v.text else "n" for v in head),
                        distinct=rng.random() < 0.3)
            pred.rules = [Rule(name, head, tuple(lits), distinct=pred.distinct, written_order=self.written(lits))]
        self.add(pred)

    def big_pred(self):
        """Arithmetic, comparison and aggregation of integers past 32 bits: the
        rows of Big, and the product of two constants. Nothing reads it but the
        query (see BIG)."""
        rng = self.rng
        name = self.new_name("B")
        k, x, v = Var("k"), Var("x"), Var("v")
        value = rng.choice([BinOp("+", x, Const(1)), BinOp("-", x, Const(rng.choice(BIG))),
                            BinOp("*", x, Const(rng.choice([2, 3]))), BinOp("+", x, Const(rng.choice(BIG))), x])
        if rng.random() < 0.2:
            value = BinOp("*", Const(100000), Const(100000))
        huge = self.later.random() < 0.3
        if huge:
            # Quotients and remainders past 2^53, where a quotient of doubles is rounded.
            value = Fn(self.later.choice(["Div", "Mod"]), (x, Const(self.later.choice([3, -7, 10, 1000003]))))
        source = "Big"
        if rng.random() < 0.3:
            # Facts of one row are injected as constants, of more rows read as a table.
            source = self.new_name("F")
            rows = {(rng.choice(DOMAIN), rng.choice(BIG)) for _ in range(rng.choice([1, 1, 3]))}
            if huge:
                rows = {(k, self.later.choice(HUGE)) for k, _ in rows}
            fact = Pred(source, ["col0", "col1"], "nn", kind="big")
            fact.rules = [Rule(source, (Const(a), Const(b)), ()) for a, b in sorted(rows)]
            self.add(fact)
        body = [Atom(source, (k, x)), Cmp("==", v, value, binds=True)]
        if rng.random() < 0.3:
            body.append(Cmp(rng.choice(CMP_OPS), v, Const(rng.choice(BIG + [0]))))
        if rng.random() < 0.4:
            op = rng.choice(["Sum", "Max", "Min", "Count"])
            pred = Pred(name, ["col0", "s"], "nn", distinct=True, kind="big", agg_op=op)
            pred.rules = [Rule(name, (k,), tuple(body), distinct=True, agg=("s", op, v))]
        else:
            pred = Pred(name, ["col0", "col1"], "nn", kind="big")
            pred.rules = [Rule(name, (k, v), tuple(body))]
            if rng.random() < 0.3:
                pred.rules.append(Rule(name, (Const(0), BinOp("*", Const(100000), Const(100000))), ()))
        self.add(pred)

    def record_pred(self):
        """R(k, r: {a: .., b: ..}) built from a body (or from constants), and a
        predicate that reads its fields back: by value, in a condition, or in an
        aggregation."""
        rng = self.rng
        name = self.new_name("Rec")
        fields = [("a", "n")] + ([("b", rng.choice("nt"))] if rng.random() < 0.6 else [])
        pred = Pred(name, ["col0", "r"], "nR", kind="rec", distinct=rng.random() < 0.3)
        for _ in range(rng.choice([1, 1, 2])):
            scope = Scope(name)
            if rng.random() < 0.2:
                record = Record(tuple((f, self.const(k)) for f, k in fields))
                pred.rules.append(Rule(name, (self.const("n"), record), (), distinct=pred.distinct))
                continue
            lits, bound = self.body(scope)
            same = {"n": nums(bound), "t": texts(bound)}
            if not nums(bound):
                continue
            record = Record(tuple((f, rng.choice(same[k]) if same[k] else self.const(k)) for f, k in fields))
            if self.opt.combines and self.later.random() < 0.2:
                # A field filled with an aggregate's value, whose type is the
                # aggregate's and not that of a column.
                v = scope.fresh()
                with self.drawing_later():
                    lits.append(Cmp("==", v, self.combine(bound, scope, 1), binds=True))
                record = Record((("a", v),) + record.fields[1:])
            pred.rules.append(Rule(name, (rng.choice(nums(bound)), record), tuple(lits), distinct=pred.distinct,
                                   written_order=self.written(lits)))
        if not pred.rules:
            return
        self.add(pred)
        reader = self.new_name("P")
        scope = Scope(reader)
        k, r = scope.fresh(), scope.fresh()
        lits = [Atom(name, (k,), (("r", r),))]
        bound = [k]
        for f, kind in fields:
            v = scope.fresh(text=kind == "t")
            lits.append(Cmp("==", v, Field(r, f), binds=True))
            bound.append(v)
        if rng.random() < 0.5:
            lits.append(Cmp(rng.choice(CMP_OPS), Field(r, "a"), Const(rng.choice(DOMAIN))))
        if self.later.random() < 0.3:
            # The whole record compared with one written in place, whose fields
            # are numbers and texts of the program while the record's may come
            # from a table's columns. Fields without nulls: a null field makes
            # no verdict every engine shares.
            with self.drawing_later():
                lits += [Cmp("is not", Field(r, f), Const(None)) for f, _ in fields]
                written = Record(tuple((f, self.const(kind)) for f, kind in fields))
                lits.append(Cmp("!=" if self.rng.random() < 0.75 else "==", r, written))
        if rng.random() < 0.3:
            column = rng.choice(["s", "m"])
            op = rng.choice(["Max", "Min", "Sum", "ArgMax"])
            term = Field(r, "a") if op != "ArgMax" else Arrow(BinOp("+", Field(r, "a"), Const(1)), Field(r, "a"))
            head = (k,) if rng.random() < 0.5 else ()
            if self.later.random() < 0.3:
                # Records counted apart: equal records, whichever rule or row
                # gave them, are one. Fields without nulls, as above.
                op, term = "Count", r
                lits += [Cmp("is not", Field(r, f), Const(None)) for f, _ in fields[1:]]
            rd = Pred(reader, [f"col{i}" for i in range(len(head))] + [column], "n" * (len(head) + 1),
                      distinct=True, kind="agg", agg_op=op)
            lits.append(Cmp("is not", Field(r, "a"), Const(None)))
            rd.rules = [Rule(reader, head, tuple(lits), distinct=True, agg=(column, op, term),
                             written_order=self.written(lits))]
        else:
            rd = Pred(reader, [f"col{i}" for i in range(len(bound))], "".join("t" if v.text else "n" for v in bound))
            rd.rules = [Rule(reader, tuple(bound), tuple(lits), written_order=self.written(lits))]
        self.add(rd)

    def repeat(self, pred):
        """Now and then a rule written twice: each copy counts."""
        if self.rng.random() < 0.1:
            pred.rules.append(self.rng.choice(pred.rules))

    # -- functors
    def functor(self):
        """F := P(X: Y): a copy of P, and of every predicate between P and X, that
        reads Y where X was read."""
        rng = self.rng
        names = [c[0] for c in self.order if self.preds[c[0]].kind in ("plain", "agg") and len(c) == 1]
        rng.shuffle(names)
        for base in names:
            reads = set()
            todo = [base]
            while todo:
                n = todo.pop()
                if n in self.preds and n not in reads:
                    reads.add(n)
                    todo += dependencies(self.preds[n])
            tables = sorted(n for n in reads | {d for n in reads if n in self.preds
                                                 for d in dependencies(self.preds[n])}
                            if n in DATABASE or (n in self.preds and self.preds[n].kind == "fact"))
            if not tables:
                continue
            old = rng.choice(tables)
            kinds = DATABASE[old] if old in DATABASE else self.preds[old].kinds
            same = [n for n, k in DATABASE.items() if k == kinds and n not in (old, "Big")]
            same += [p.name for p in self.preds.values() if p.kind == "fact" and p.kinds == kinds and p.name != old]
            if not same:
                continue
            new = rng.choice(same)
            made = self.new_name("M")
            # Copy, in order of definition, every predicate that reads the old one.
            touched = {old}
            copies = {old: new}
            copied = []
            for component in list(self.order):
                if not all(n in reads for n in component):
                    continue
                if not any(d in touched for n in component for d in dependencies(self.preds[n])):
                    continue
                for n in component:
                    copies[n] = made if n == base else f"{made}_copy_{n}"
                    touched.add(n)
                copied.append(component)
            if base not in touched:
                continue
            if new not in ("Dag", "Full") and any(self.preds[n].recursive and not self.preds[n].distinct
                                                  for c in copied for n in c):
                continue  # recursion that keeps duplicates ends only over a graph that goes up
            self.statements.append(f"{made} := {base}({old}: {new});")
            for component in copied:
                made_component = []
                for n in component:
                    p = self.preds[n]
                    q = Pred(copies[n], p.columns, p.kinds, p.distinct, p.kind, [], p.agg_op, p.recursive, hidden=True)
                    made_component.append(q)
                for q, n in zip(made_component, component):
                    q.rules = [renamed(r, copies) for r in self.preds[n].rules]
                    self.preds[q.name] = q
                self.order.append([q.name for q in made_component])
            return

    # -- recursion
    def recursion(self):
        rng = self.rng
        kind = rng.choice(["linear", "linear", "left", "nonlinear", "mutual", "shortest", "bag"])
        x, y, z, w, e = (Var(n) for n in "xyzwe")
        if kind == "bag":
            edge, distinct = rng.choice(["Dag", "Full"]), False
        else:
            edge, distinct = rng.choice(["E", "Dag"]), True
        name = self.new_name("R")
        extra = ()
        if rng.random() < 0.3:
            extra = (Cmp(rng.choice(["!=", "<", ">="]), z, Const(rng.choice(DOMAIN))),)
        if kind in ("linear", "bag", "left", "nonlinear"):
            pred = Pred(name, ["col0", "col1"], "nn", distinct=distinct, recursive=True)
            base = Rule(name, (x, y), (Atom(edge, (x, y)),), distinct=distinct)
            if kind == "left":
                step = (Atom(edge, (x, y)), Atom(name, (y, z)))
            elif kind == "nonlinear":
                step = (Atom(name, (x, y)), Atom(name, (y, z)))
            else:
                step = (Atom(name, (x, y)), Atom(edge, (y, z)))
            pred.rules = [base, Rule(name, (x, z), step + extra, distinct=distinct,
                                     written_order=self.written(step + extra))]
            self.add(pred, [name])
            main = name
        elif kind == "mutual":
            other = self.new_name("R")
            pred = Pred(name, ["col0", "col1"], "nn", distinct=True, recursive=True)
            pred2 = Pred(other, ["col0", "col1"], "nn", distinct=True, recursive=True)
            pred.rules = [Rule(name, (x, y), (Atom(edge, (x, y)),), distinct=True),
                          Rule(name, (x, z), (Atom(other, (x, y)), Atom(edge, (y, z))) + extra, distinct=True)]
            pred2.rules = [Rule(other, (x, z), (Atom(name, (x, y)), Atom(edge, (y, z))), distinct=True)]
            self.preds[name] = pred
            self.preds[other] = pred2
            self.order.append([name, other])
            main = min(name, other)
        else:  # shortest
            pred = Pred(name, ["col0", "col1", "d"], "nnn", distinct=True, kind="agg", agg_op="Min", recursive=True)
            pred.rules = [Rule(name, (x, y), (Atom("W", (x, y, w)),), distinct=True, agg=("d", "Min", w)),
                          Rule(name, (x, z), (Atom(name, (x, y), (("d", e),)), Atom("W", (y, z, w))),
                               distinct=True, agg=("d", "Min", BinOp("+", e, w)))]
            self.add(pred, [name])
            main = name
        if kind == "bag" and rng.random() < 0.6:
            # Deep enough for the plan to loop; the script unrolls the same levels.
            self.annotations.append(f"@Recursive({main}, {rng.choice([21, 30])});")
        elif rng.random() < 0.4:
            # Each level of a nonlinear recursion unfolded into copies reads the
            # level below twice: SQLite's script holds too many references past a
            # depth of about 14, so the compiler loops there instead.
            depths = [9, 13, 16, 30] if kind == "nonlinear" else [9, 12, 30]
            self.annotations.append(f"@Recursive({main}, {rng.choice(depths)});")


def dependencies(pred):
    """Names of the predicates a predicate reads directly."""
    out = set()

    def walk(x):
        if isinstance(x, Atom):
            out.add(x.pred)
        if isinstance(x, Call):
            out.add(x.name)
        if isinstance(x, (tuple, list)):
            for y in x:
                walk(y)
        elif hasattr(x, "__dataclass_fields__"):
            for f in x.__dataclass_fields__:
                walk(getattr(x, f))

    for r in pred.rules:
        walk(r)
    return out


def renamed(x, names):
    """A copy of a tree with predicate names replaced."""
    if isinstance(x, Atom):
        return Atom(names.get(x.pred, x.pred), renamed(x.args, names), renamed(x.named, names))
    if isinstance(x, Call):
        return Call(names.get(x.name, x.name), renamed(x.args, names))
    if isinstance(x, tuple):
        return tuple(renamed(y, names) for y in x)
    if isinstance(x, Rule):
        return Rule(names.get(x.pred, x.pred), renamed(x.head, names), renamed(x.body, names), x.distinct,
                    renamed(x.agg, names), renamed(x.value, names), renamed(x.written_order, names))
    if hasattr(x, "__dataclass_fields__") and not isinstance(x, (Var, Const, Wild)):
        return type(x)(*(renamed(getattr(x, f), names) for f in x.__dataclass_fields__))
    return x


class Scope:
    """Fresh variable names for one rule, shared with its negations and combines,
    so that a name means one variable throughout the rule."""

    def __init__(self, pred):
        self.n = 0
        self.pred = pred

    def fresh(self, text=False):
        self.n += 1
        return Var("abcdfghkmnpqrstuv"[self.n - 1] if self.n <= 17 else f"v{self.n}", text)


def is_text(t):
    return t.text if isinstance(t, Var) else isinstance(t.value, str)


def nums(vars_):
    return [v for v in vars_ if not v.text]


def texts(vars_):
    return [v for v in vars_ if v.text]


def generate(seed, options=None):
    return Generator(seed, options).program()


# ---- shrinking a failing program ------------------------------------------------


def needed(program):
    """The predicates the query reads, directly or not, and the query itself."""
    seen = set()
    todo = [program.query]
    while todo:
        n = todo.pop()
        if n in program.preds and n not in seen:
            seen.add(n)
            todo += dependencies(program.preds[n])
    return seen


def _variants(program):
    """Smaller programs: one predicate, rule, literal, annotation or table row less."""
    import copy
    keep = needed(program)
    if keep != set(program.preds):
        p = copy.deepcopy(program)
        p.preds = {n: q for n, q in p.preds.items() if n in keep}
        p.components = [[n for n in c if n in keep] for c in p.components if any(n in keep for n in c)]
        p.annotations = [a for a in p.annotations if any(f"({n}," in a or f"({n})" in a for n in keep)]
        p.statements = [s for s in p.statements if s.split(" := ")[0] in keep]
        yield p
    for i in range(len(program.annotations)):
        p = copy.deepcopy(program)
        del p.annotations[i]
        yield p
    for name, pred in program.preds.items():
        for i in range(len(pred.rules)):
            if len(pred.rules) > 1:
                p = copy.deepcopy(program)
                del p.preds[name].rules[i]
                yield p
            rule = pred.rules[i]
            for j in range(len(rule.body)):
                p = copy.deepcopy(program)
                r = p.preds[name].rules[i]
                lit = r.body[j]
                r.body = r.body[:j] + r.body[j + 1:]
                if r.written_order is not None:
                    order = list(r.written_order)
                    order.remove(lit)
                    r.written_order = tuple(order)
                yield p
    for name, rows in program.tables.items():
        for i in range(len(rows)):
            p = copy.deepcopy(program)
            del p.tables[name][i]
            yield p


def _term_vars(t, bound):
    """Whether every variable a term reads is bound."""
    if isinstance(t, Var):
        return t.name in bound
    if isinstance(t, Combine):
        inner = _body_binds(t.body, bound)
        return inner is not None and _term_vars(t.value, inner)
    if isinstance(t, (Const, Wild, str)) or t is None:
        return True
    if isinstance(t, IfThen):
        return _body_binds((t.cond,), bound) is not None and _term_vars(t.then, bound) and _term_vars(
            t.otherwise, bound)
    if isinstance(t, (tuple, list)):
        return all(_term_vars(x, bound) for x in t)
    return all(_term_vars(getattr(t, f), bound) for f in t.__dataclass_fields__ if f not in ("name", "op"))


def _body_binds(body, bound):
    """The variables bound after a body read in order, or None when it reads a
    variable before it is bound."""
    bound = set(bound)
    for lit in body:
        if isinstance(lit, Atom):
            for t in list(lit.args) + [t for _, t in lit.named]:
                if isinstance(t, Var):
                    bound.add(t.name)
                elif not _term_vars(t, bound):
                    return None
        elif isinstance(lit, Cmp):
            if lit.binds and lit.left.name not in bound:
                if not _term_vars(lit.right, bound):
                    return None
                bound.add(lit.left.name)
            elif not (_term_vars(lit.left, bound) and _term_vars(lit.right, bound)):
                return None
        elif isinstance(lit, In):
            if not _term_vars(lit.items, bound):
                return None
            if lit.binds:
                bound.add(lit.var.name)
            elif lit.var.name not in bound:
                return None
        elif isinstance(lit, Neg):
            if _body_binds(lit.body, bound) is None:
                return None
        elif isinstance(lit, Or):
            outs = [_body_binds(a, bound) for a in lit.alternatives]
            if any(o is None for o in outs):
                return None
            bound = set.intersection(*outs)
    return bound


def rule_is_safe(r):
    bound = _body_binds(tuple(x for x in r.body if isinstance(x, Atom)) + tuple(x for x in r.body if not isinstance(x, Atom)), set())
    return bound is not None and _term_vars(r.head, bound) and _term_vars(r.agg, bound) and _term_vars(
        r.value, bound)


def shrink(program, fails, budget=400):
    """The smallest program found, by greedy steps, for which fails(program) holds."""
    steps = 0
    changed = True
    while changed and steps < budget:
        changed = False
        for candidate in _variants(program):
            steps += 1
            if steps >= budget:
                break
            if not all(rule_is_safe(r) for p in candidate.preds.values() if p.kind != "fn" for r in p.rules):
                continue
            try:
                candidate.rows = reference_rows(candidate)
            except Exception:  # noqa: BLE001 - a variant the evaluator cannot read is no smaller case
                continue
            if fails(candidate):
                program = candidate
                changed = True
                break
    return program
