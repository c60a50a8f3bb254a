"""Inputs that once crashed the host, hung it or ran it out of memory. Each runs
in a child process under a memory limit (isolated.py), so a regression fails
its test instead of the test run; each must answer within a second, with a
result or a ValueError, TypeError or MemoryError, using less than 200 MB."""

import os

import pytest

from compile_engines import Engine, as_multiset
from isolated import run_isolated

# A loaded machine runs the children slower than an idle one.
SECONDS = 1.0 * float(os.environ.get("MIRTOVA_TIME_SLACK", "3"))
MEGABYTES = 200


def answered(outcome, kinds=("ok", "ValueError")):
    assert outcome.kind in kinds, outcome
    assert outcome["seconds"] < SECONDS, outcome
    assert outcome["max_rss_mb"] < MEGABYTES, outcome
    return outcome


def indices(n):
    return ", ".join(["0"] * n)


# (name, setup, call, kinds, text the message or value must hold)
INPUTS = [
    ("aggregation over a function call inside a function argument",
     "S = 'T(1, 2); F(x) = x + 1; G(x) = y :- T(x, y); Q(v) :- v == F(Sum{G(z) :- z in [1, 2]});'",
     "[m.compile(S, 'Q', engine=e) == m.compile(S, 'Q', engine=e) for e in m.SUPPORTED_ENGINES]",
     ("ok",), "[True, True, True, True, True, True, True]"),
    ("2,000 element indices, compiled",
     f"S = 'A([1]); Q(y) :- A(a), y == a[{indices(2000)}];'", "m.compile(S, 'Q')",
     ("ValueError",), "Program is nested too deeply."),
    ("20,000 element indices, parsed",
     f"S = 'A([1]); Q(y) :- A(a), y == a[{indices(20000)}];'", "m.parse(S)",
     ("ValueError",), "Program is nested too deeply."),
    ("a front-matter name and description of 30,000 digits",
     "S = '---\\nname: ' + '7' * 30000 + '\\ndescription: ' + '7' * 30000 + '\\n---\\nP(1);'",
     "len(m.parse(S))", ("ok",), ""),
    ("a front matter of one comma", "S = '---\\n,\\n---\\nP(1);'", "m.parse(S)",
     ("ValueError",), "Invalid front matter YAML: "),
    ("an unclosed quoted scalar in the front matter", "S = '---\\nname: \"unclosed\\n---\\nP(1);'",
     "m.parse(S)", ("ValueError",), "Invalid front matter YAML: "),
    ("a program that defines a name of the engine's library, and recurses",
     "S = 'ArgMax(a: 1) :- T(a: 1); R(x) distinct :- T(a: x); R(x) distinct :- R(x); Q(x) :- R(x);'",
     "m.compile_all(S)", ("ValueError",), "Compile error in rule: ArgMax"),
    ("numbers in lists nested 12 deep, for SQLite",
     "e = 'x + 0.5'\nfor _ in range(12): e = f'Element([{e}], 0)'\nS = f'T(1); Q(y) :- T(x), y == [{e}];'",
     "len(m.compile(S, 'Q', engine='sqlite')) < 20000", ("ok",), "True"),
    ("a function that holds itself in a combine", "S = 'U()=r(\"\", z{U()=r(\"\",{})});'",
     "m.compile(S, 'U')", ("ValueError",), "Compile error"),
    ("a function that doubles at each of 40 levels",
     "S = 'F0(x) = x + 1;' + ''.join(f'F{i+1}(x) = F{i}(x) + F{i}(x);' for i in range(40)) + "
     "'Q(y) :- y == F40(1);'",
     "m.compile(S, 'Q')", ("ValueError",), ""),
    ("40 nested calls of a function whose SQL writes its argument several times",
     "S = 'Q(v) :- v == ' + 'RegexpExtract(' * 40 + '\"abc\"' + ', \"a\")' * 40 + ';'",
     "m.compile(S, 'Q')", ("ValueError",), "passes 67108864 bytes, more than one script may hold."),
    ("30 nested list concatenations, compiled for the served engines",
     "S = 'Q(v) :- v == ' + 'ArrayConcat(Concat(' * 15 + '[1]' + ', [2]), null)' * 15 + ';'",
     "[len(m.compile(S, 'Q', engine=e)) < 100000 for e in ('databricks', 'trino', 'presto')]",
     ("ok",), "[True, True, True]"),
    ("30 nested text cuts, from the back and to the end, compiled for every engine",
     "S = 'Q(v) :- v == ' + 'Substr(Substr(' * 15 + '\"abc\"' + ', -2, 5), 1)' * 15 + ';'",
     "[len(m.compile(S, 'Q', engine=e)) < 100000 for e in m.SUPPORTED_ENGINES]",
     ("ok",), "[True, True, True, True, True, True, True]"),
    ("a chain of 1,000 functions, each calling the one before",
     "S = 'F0(x) = x + 1;' + ''.join(f'F{i+1}(x) = F{i}(x) + 1;' for i in range(1000)) + "
     "'Q(y) :- y == F1000(1);'",
     "m.compile(S, 'Q')", ("ValueError",), "Program is nested too deeply."),
    ("a 1 MB chain of subscripts", "S = 'A({a: 1}); Q(y) :- A(a), y == a' + '.a' * 500000 + ';'",
     "m.compile(S, 'Q')", ("ValueError",), "Program is nested too deeply."),
    ("240 field accesses whose type flows through a recursive predicate",
     "S = 'F(1, nu' + '.a' * 240 + '); F(0, n + y) :- F(x, y);'", "m.compile(S, 'F')", ("ValueError",), ""),
    ("4,096 alternatives of a 70 KB statement",
     "S = 'Q(x) :- ' + ', '.join('(A(x) | B(x))' for i in range(12)) + ', C(x, \"' + 'c' * 70000 + '\");'",
     "m.parse(S)", ("ValueError",), "expand to more than 16 MB of rules."),
    ("6,000 makes of a functor that reads every one of them",
     "S = 'F(x) :- A(x), ' + ', '.join(f'M{i}(x)' for i in range(6000)) + '; A(1); B(1);' + "
     "''.join(f'M{i} := F(A: B);' for i in range(6000))",
     "m.compile(S, 'M0')", ("ValueError",), '"M1013", "M1014", and 5980 more}'),
    # Each equality defines the variable the one before it needs: in this order
    # the variables are bound one per pass over all of them, unless each
    # definition waits for what it lacks.
    ("an assertion whose 15,000 equalities each define what the one before needs",
     "def both(items):\n    half = len(items) // 2\n"
     "    return items[0] if half == 0 else '(' + both(items[:half]) + ' ∧ ' + both(items[half:]) + ')'\n"
     "S = 'T(x: 1); P(x:) :- T(x:); @Assert(P, a: \"∀ x0, P x0 → ∃ ' + "
     "' '.join(f'x{i + 1}' for i in range(15000)) + ', ' + "
     "both([f'x{i + 1} = x{i}' for i in reversed(range(15000))]) + '\");'",
     "m.assertions(S)[0]['status']", ("ok",), "unchecked"),
    ("a rule whose 20,000 equalities each define what the one before needs",
     "S = 'P(x0) :- T(x20000), ' + ', '.join(f'x{i} == x{i + 1}' for i in range(20000)) + "
     "'; Q(y) :- P(y), U(y);'",
     "m.compile(S, 'Q').endswith('WHERE U.col0 = P.col0;')", ("ok",), "True"),
    ("a head of 30,000 fields, compiled",
     "S = 'Q(' + ', '.join(f'f{i}: x' for i in range(30000)) + ') :- T(x);'",
     "m.compile(S, 'Q').count(' AS f')", ("ok",), "30000"),
    ("a head of 20,000 variables, each given by a call of its own",
     "S = 'Q(' + ', '.join(f'v{i}' for i in range(20000)) + ') :- ' + "
     "', '.join(f'T(v{i})' for i in range(20000)) + ';'",
     "m.compile(S, 'Q').count(' AS col')", ("ok",), "20000"),
    ("a value read from 5,000 host tables, compiled for the engines that track its sources",
     "S = 'Q(x) :- T(x), ' + ', '.join(f'~U{i}(x)' for i in range(5000)) + ';'",
     "[m.compile(S, 'Q', engine=e).count(' IS NULL)') for e in ('psql', 'presto')]"
     " + [m.compile(S, 'Q', engine='trino').count('(NOT EXISTS ')]",
     ("ok",), "[5000, 5000, 5000]"),
    ("8,000 rules reading 8,000 facts of nulls, compiled for the engines that type a column of nulls",
     "S = 'F(null);' * 8000 + ''.join(f'P(x) :- F(x), {i} > 0;' for i in range(8000)) + "
     "'Q(y) :- P(x), y == x - x;'",
     "[m.compile(S, 'Q', engine=e).count('UNION ALL') for e in ('trino', 'presto')]", ("ok",), "[15998, 15998]"),
    ("a rule joining 50,000 tables on one variable",
     "S = 'Q(x) :- ' + ', '.join(f'T{i}(x)' for i in range(50000)) + ';'",
     "m.compile(S, 'Q').count('.col0 = T0.col0')", ("ok",), "49999"),
    ("a rule of 10,000 alternatives, 120 KB, parsed",
     "S = 'A(1); Q(x) :- A(x), (' + ' | '.join(f'x == {i}' for i in range(10000)) + ');'",
     "len(m.parse(S)) < 20_000_000", ("ok",), "True"),
    ("ten chained recursions of 999 steps, all compiled",
     "S = 'P0(1);' + ''.join(f'P{i}(x) distinct :- P{i-1}(x); P{i}(x) distinct :- P{i}(y), x == y + 1; "
     "@Recursive(P{i}, 999);' for i in range(1, 11))",
     "m.compile_all(S)", ("ValueError",), "use plan()"),
    ("999 steps of a long recursive rule, unrolled into one script",
     "S = 'P0(1); P(x) distinct :- P0(x); P(x) distinct :- P(y), x == y + 1, ' + "
     "', '.join(f'x != {100000 + k}' for k in range(1000)) + '; @Recursive(P, 999);'",
     "m.compile(S, 'P')", ("ValueError",), "that one script may hold; use plan()"),
    ("the same, planned", "S = 'P0(1); P(x) distinct :- P0(x); P(x) distinct :- P(y), x == y + 1, ' + "
     "', '.join(f'x != {100000 + k}' for k in range(1000)) + '; @Recursive(P, 999);'",
     "len(m.plan(S, 'P'))", ("ok",), ""),
    ("an import_root whose length is huge",
     "class Huge:\n    def __len__(self): return 2**62\n    def __getitem__(self, i): return 1",
     "m.parse('P(1);', import_root=Huge())", ("TypeError",), "'int' object is not an instance of 'str'"),
    ("an import_root whose items never end",
     "class Endless:\n    def __len__(self): return 2**62\n    def __getitem__(self, i): return 'root'",
     "m.parse('P(1);', import_root=Endless())", ("ValueError",), "import_root lists more than 1000 paths"),
    ("a keyword name with a lone surrogate", "", "m.compile('P(1);', 'P', **{'\\ud800': 1})",
     ("TypeError",), "compile() got an unexpected keyword argument"),
    ("a rule of 1,000 variables that nothing binds, checked",
     "S = 'B(x: 1); P(x:) :- B(x:), ' + ', '.join(f'x{i} < x{i+1}' for i in range(1000)) + ', x0 == x;'",
     "len(m.check(S)[0])", ("ok",), "1000"),
    ("a rule of 5,000 variables that nothing binds, each finding quoting it, checked",
     "S = 'B(x: 1); P(x:) :- B(x:), ' + ', '.join(f'x{i} < x{i+1}' for i in range(5000)) + ', x0 == x;'",
     "len(m.check(S)[0])", ("ValueError",), "The findings of this program pass 67108864 bytes"),
    ("the same rule with two alternatives, checked",
     "S = 'B(x: 1); P(x:) :- B(x:), ' + ', '.join(f'x{i} < x{i+1}' for i in range(5000)) + ', (x0 == x | x1 == x);'",
     "len(m.check(S)[0])", ("ValueError",), "The findings of this program pass 67108864 bytes"),
    ("a function written as a condition 5,000 times in one rule, checked",
     "S = 'F(x) = x; B(x: 1); P(x:) :- B(x:), ' + ', '.join(['F(x)'] * 5000) + ';'",
     "len(m.check(S)[0])", ("ValueError",), "The findings of this program pass 67108864 bytes"),
    ("an ordering by 20,000 columns that a predicate of 20,000 columns lacks, checked",
     "S = '@OrderBy(P, ' + ', '.join(f'\"z{i}\"' for i in range(20000)) + '); P(' + "
     "', '.join(f'c{i}: 1' for i in range(20000)) + ');'",
     "len(m.check(S)[0])", ("ValueError",), "The findings of this program pass 67108864 bytes"),
    # Each message lists the predicate's 40,000 columns: all of them would take 1.5 GB.
    ("4,000 assertions applying a predicate of 40,000 columns to one argument, checked",
     "S = 'W(' + ', '.join(f'c{i}: x' for i in range(40000)) + ') :- T(x); @Assert(W, ' + "
     "', '.join(f'a{j}: \"∀ x, W x → x > 0\"' for j in range(4000)) + ');'",
     "len(m.check(S)[0])", ("ValueError",), "The findings of this program pass 67108864 bytes"),
    ("the same assertions listed", "S = 'W(' + ', '.join(f'c{i}: x' for i in range(40000)) + ') :- T(x); "
     "@Assert(W, ' + ', '.join(f'a{j}: \"∀ x, W x → x > 0\"' for j in range(4000)) + ');'",
     "len(m.assertions(S))", ("ok",), "4000"),
    # The scripts of the chain take over 64 MB together: known for sure from the
    # longest one, before they are written, so well within 48 MB.
    ("a chain of 1,000 predicates each read by the next, all compiled in 48 MB",
     "import resource\nS = 'P0(x, y) :- E(x, y);' + ''.join(f'P{i}(x, y) :- P{i - 1}(x, z), E(z, y); "
     "P{i}(x, y) :- E(x, y), x > {i};' for i in range(1, 1000))\n"
     "used = int(open('/proc/self/statm').read().split()[0]) * resource.getpagesize()\n"
     "resource.setrlimit(resource.RLIMIT_AS, (used + 48 * 2**20, used + 48 * 2**20))",
     "m.compile_all(S)", ("ValueError",), "The scripts of this program pass 67108864 bytes"),
    ("memory running out in the middle of a parse",
     "import resource\nS = 'Q(x) :- x == [' + ', '.join(['1'] * 400000) + '];'\n"
     "used = int(open('/proc/self/statm').read().split()[0]) * resource.getpagesize()\n"
     "resource.setrlimit(resource.RLIMIT_AS, (used + 64 * 2**20, used + 64 * 2**20))",
     "m.parse(S)", ("MemoryError",), ""),
]


@pytest.mark.slow
@pytest.mark.parametrize("name, setup, call, kinds, text", INPUTS, ids=[row[0] for row in INPUTS])
def test_input_is_answered_in_bounds(name, setup, call, kinds, text):
    outcome = answered(run_isolated(call, setup), kinds)
    shown = outcome.get("message", outcome.get("value"))
    assert text in str(shown), outcome


# Programs the parser accepts, nested as deeply as it allows on the main thread.
DEPTH = 240
NESTED = {
    "parentheses": f"Q(x) :- x == {'(' * DEPTH}1{')' * DEPTH};",
    "lists": f"Q(x) :- x == {'[' * DEPTH}1{']' * DEPTH};",
    "records": f"Q(x) :- x == {'{a: ' * DEPTH}1{'}' * DEPTH};",
    "negations": f"A(1); Q(x) :- A(x), {'~(' * DEPTH}A(x){')' * DEPTH};",
    "aggregations": f"A(1); Q(x) :- x == {'Sum{' * DEPTH}1{' :- A(y)}' * DEPTH};",
    "calls": f"Q(x) :- x == {'Abs(' * DEPTH}1{')' * DEPTH};",
    "functions": f"F(x) = x + 1; Q(y) :- y == {'F(' * DEPTH}1{')' * DEPTH};",
    "disjunctions": f"A(1); Q(x) :- A(x), {'(x == 1 | ' * DEPTH}x == 2{')' * DEPTH};",
    "sums": f"Q(x) :- x == {' + '.join(['1'] * DEPTH)};",
    "subscripts": f"A({{a: 1}}); Q(y) :- A(a), y == a{'.a' * DEPTH};",
    "indices": f"A([1]); Q(y) :- A(a), y == a[{indices(DEPTH)}];",
}
CALLS = ["len(m.parse(S))", "len(m.compile(S, 'Q'))", "len(m.compile(S, 'Q', engine='psql'))",
         "len(m.plan(S, 'Q', engine='sqlite'))", "len(m.check(S)[0])"]


@pytest.mark.slow
@pytest.mark.parametrize("stack_kb", [512, 1024])
@pytest.mark.parametrize("shape", sorted(NESTED))
def test_deep_programs_on_small_stacks(shape, stack_kb):
    # A host thread's stack may be a sixteenth of the main thread's: the depth
    # bound holds on the stack the call runs on, and refuses what would not fit.
    for call in CALLS:
        outcome = run_isolated(call, f"S = {NESTED[shape]!r}", stack_kb=stack_kb)
        assert outcome.kind in ("ok", "ValueError"), (call, outcome)
        if outcome.kind == "ValueError":
            assert "Program is nested too deeply." in outcome["message"], (call, outcome)


# Assertion statements nested as deeply as their parser allows on the main thread.
STATEMENTS = {
    "negations": "¬" * 198 + "(x > 0)",
    "minus signs": "-" * 198 + "x < 0",
    "sums": "x > " + "(∑ y, P y + " * 98 + "1" + ")" * 98,
    "implications": " → ".join(["x > 0"] * 198),
    "additions": "x" + " + x" * 196 + " > 0",
}
STATEMENT_CALLS = ["len(m.check(S)[0])", "len(m.assertions(S))", "len(m.counterexamples(S, 'P', 'a'))"]


@pytest.mark.parametrize("stack_kb", [128, 512])
@pytest.mark.parametrize("shape", sorted(STATEMENTS))
def test_deep_statements_on_small_stacks(shape, stack_kb):
    # The statement's parser bounds its depth by the stack the call runs on,
    # as the program's does, so that every walk of the tree after it fits.
    setup = "S = " + repr(f'P(x:) :- T(x:); @Assert(P, a: "∀ x, P x → {STATEMENTS[shape]}");')
    for call in STATEMENT_CALLS:
        outcome = run_isolated(call, setup, stack_kb=stack_kb)
        assert outcome.kind in ("ok", "ValueError"), (call, outcome)


def test_shallow_programs_still_compile_on_small_stacks():
    setup = f"S = {'Q(x) :- x == ' + '(' * 40 + '1' + ')' * 40 + ';'!r}"
    assert run_isolated("len(m.compile(S, 'Q'))", setup, stack_kb=512).kind == "ok"
    # The default stack of a thread on some C libraries: the engine's own library, parsed on the thread's first
    # call, is no program of the caller's to bound by it.
    for engine in ("duckdb", "psql", "sqlite"):
        assert run_isolated(f"len(m.compile('Q(1);', 'Q', engine={engine!r}))", stack_kb=128).kind == "ok", engine
    setup = "S = " + repr('P(x:) :- T(x:); @Assert(P, a: "∀ x, P x → ' + '¬' * 10 + '(x > 0)");')
    assert run_isolated("m.assertions(S)[0]['status']", setup, stack_kb=160)["value"] == "unchecked"


@pytest.mark.slow
def test_import_chain_on_small_stacks(tmp_path):
    # Each file of a chain is read and parsed inside the one that imports it; at every stack size the chain
    # compiles or is refused, never overflowing.
    for i in range(40):
        body = f"import lib.m{i + 1}.P{i + 1};\nP{i}(x) :- P{i + 1}(x);\n" if i < 39 else "P39(1);\n"
        (tmp_path / "lib").mkdir(exist_ok=True)
        (tmp_path / "lib" / f"m{i}.l").write_text(body)
    call = f"len(m.compile('import lib.m0.P0; Q(x) :- P0(x);', 'Q', import_root=[{str(tmp_path)!r}]))"
    for stack_kb in range(128, 264, 4):
        assert run_isolated(call, stack_kb=stack_kb).kind in ("ok", "ValueError"), stack_kb


def test_front_matter_on_a_small_stack():
    setup = "S = '---\\nname: ' + '7' * 5000 + '\\n---\\nP(1);'"
    assert run_isolated("len(m.parse(S))", setup, stack_kb=1024).kind == "ok"


def injection_chain(levels, comparisons):
    checks = "".join(f", x < {5 + k}" for k in range(comparisons))
    return "P0(1); P0(2); P0(5);" + "".join(
        f"P{i + 1}(x) :- P{i}(x), P{i}(x), P{i}(x){checks};" for i in range(levels))


@pytest.mark.parametrize("levels, comparisons", [(8, 0), (20, 0), (8, 6), (12, 6)])
def test_injection_past_the_bound_keeps_scripts_linear(levels, comparisons):
    # Each level calls the one below three times: injected all the way down,
    # the rule would hold 3^levels calls. Past the bound a level is read as its
    # own table, and the script grows with the levels.
    source = injection_chain(levels, comparisons)
    outcome = answered(run_isolated(f"m.compile(S, 'P{levels}')", f"S = {source!r}"), ("ok",))
    assert len(outcome["value"]) < 1500 * levels * (comparisons + 3)


@pytest.mark.parametrize("engine, levels, comparisons",
                         [("duckdb", 3, 0), ("sqlite", 3, 0), ("duckdb", 8, 6), ("sqlite", 8, 6),
                          ("duckdb", 12, 6)])
def test_injection_past_the_bound_gives_the_same_rows(engine, levels, comparisons):
    # Three levels are injected whole; eight and twelve pass the bound. The
    # rows are those of the facts that pass the strictest comparison.
    want = [(1,), (2,)] if comparisons else [(1,), (2,), (5,)]
    source = injection_chain(levels, comparisons)
    # Compiled apart, and run only when small: a script of thousands of joins
    # would take the engine's memory, and with it the test run's.
    outcome = run_isolated(f"m.compile(S, 'P{levels}', engine={engine!r})", f"S = {source!r}")
    assert outcome.kind == "ok", outcome
    script = outcome["value"]
    assert len(script) < 1500 * levels * (comparisons + 3)
    assert as_multiset(Engine(engine, {}).run_script(script)) == want
