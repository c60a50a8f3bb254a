"""Eight Python threads compiling at once get exactly what one thread gets."""
import os
import threading
import time

import pytest

import mirtova

# (source, predicate): programs reaching the library, records, combines,
# functors, recursion, plans with materialised tables, and a failure.
PROGRAMS = [
    ("Adult(name:, age:) :- Person(name:, age:), age >= 18;", "Adult"),
    ("DeptSize(dept:, n? += 1) distinct :- Emp(name:, dept:);", "DeptSize"),
    ("Youngest(b? ArgMin= n -> a) distinct :- Person(name: n, age: a);", "Youngest"),
    ("Total(t) :- t == Sum{x :- Measure(x)};", "Total"),
    ("R(p: {a: x, b: x + 1}) :- Measure(x), x < 6; S(v) :- R(p: r), v == r.b;", "S"),
    ("Path(x, y) distinct :- Edge(x, y); Path(x, z) distinct :- Path(x, y), Edge(y, z); @Recursive(Path, 5);",
     "Path"),
    ("Small(x) :- Number(x), x < 8; Picked(x) :- Source(x), x > 1; Out := Picked(Source: Small);", "Out"),
    ('@Ground(Big); Big(x) :- Measure(x), x > 10; Top(x) :- Big(x); @OrderBy(Top, "col0 desc"); @Limit(Top, 3);',
     "Top"),
    ('P(x) :- x == 1, x == "a";', "P"),
    ("Q(x) :- Undefined(", "Q"),
]

CALLS = [
    ("compile", lambda source, predicate, engine: mirtova.compile(source, predicate, engine=engine)),
    ("compile_all", lambda source, predicate, engine: mirtova.compile_all(source, engine=engine)),
    ("plan", lambda source, predicate, engine: mirtova.plan(source, predicate, engine=engine)),
    ("search", lambda source, predicate, engine: mirtova.search(source, predicate, "a.*", engine=engine)),
]

CASES = [(name, call, source, predicate, engine)
         for engine in mirtova.SUPPORTED_ENGINES
         for source, predicate in PROGRAMS
         for name, call in CALLS]


def outcome(case):
    _, call, source, predicate, engine = case
    try:
        return ("ok", call(source, predicate, engine))
    except ValueError as error:
        return ("ValueError", str(error))


@pytest.mark.slow
def test_eight_threads_match_one_thread():
    threads_count = 8
    seconds = float(os.environ.get("MIRTOVA_STRESS_SECONDS", "2"))
    seen = [dict() for _ in range(threads_count)]
    changed = [None] * threads_count
    barrier = threading.Barrier(threads_count)

    def hammer(t):
        barrier.wait()
        deadline = time.monotonic() + seconds
        first = True
        while first or time.monotonic() < deadline:
            # Each thread starts at its own place, so the threads compile
            # different programs for different engines at the same moment.
            for k in range(len(CASES)):
                i = (k + t * len(CASES) // threads_count) % len(CASES)
                result = outcome(CASES[i])
                if first:
                    seen[t][i] = result
                elif result != seen[t][i] and changed[t] is None:
                    changed[t] = i
            first = False

    threads = [threading.Thread(target=hammer, args=(t,)) for t in range(threads_count)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()

    for i, case in enumerate(CASES):
        expected = outcome(case)
        for t in range(threads_count):
            assert seen[t][i] == expected, (t, case[0], case[4], case[2])
    assert changed == [None] * threads_count


def test_cases_mostly_compile():
    # The table must exercise compiling: only the two bad programs fail, for
    # every engine and every call that compiles their predicate.
    failing = {(case[4], case[2]) for case in CASES if outcome(case)[0] == "ValueError"}
    assert {source for _, source in failing} == {PROGRAMS[-2][0], PROGRAMS[-1][0]}
    assert len(failing) == 2 * len(mirtova.SUPPORTED_ENGINES)
