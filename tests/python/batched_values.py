"""The one value of many one-row programs from one query on Trino and Presto,
where most of a small test's time is the round trip of its query: their queries
side by side, cross joined, each giving one column of the one row (Spark
plans and runs such a join slower than the queries one by one). A batch the
engine refuses, or whose row count is not one, is split until the program at
fault runs alone; a program that fails alone is left to its test, which runs it
the usual way and so reports its own error."""

import mirtova
from compile_engines import statements
from test_engine_rows import run_script

BATCHED_ENGINES = ("trino", "presto")
BATCH_SIZE = 40
FAILED = object()

# (engine, source) -> the value its query gave in a batch, or FAILED.
_values = {}


def _one_query(engine, source):
    """The program's SQL when it is one query, else None."""
    try:
        pieces = statements(mirtova.compile(source, "Q", engine=engine))
    except ValueError:
        return None
    return pieces[0] if len(pieces) == 1 and ";\n" not in pieces[0] else None


def _fetch(request, engine, batch):
    """Fills _values for a list of (source, sql); splits the list while the engine refuses it."""
    pending = [batch]
    while pending:
        part = pending.pop()
        sql = ("SELECT " + ", ".join(f"r{i}.c{i}" for i in range(len(part))) + " FROM "
               + " CROSS JOIN ".join(f"({query}) AS r{i}(c{i})" for i, (_, query) in enumerate(part)))
        try:
            got = run_script(request, engine, sql)
        except Exception:  # noqa: BLE001  (whichever program is at fault is found by splitting)
            got = None
        if got is not None and len(got) == 1 and len(got[0]) == len(part):
            _values.update(((engine, source), value) for (source, _), value in zip(part, got[0]))
        elif len(part) == 1:
            _values[(engine, part[0][0])] = FAILED
        else:
            pending += [part[len(part) // 2:], part[: len(part) // 2]]


def batched_value(request, engine, source, batchable):
    """The value of the program's one row from a batch of the selected tests of the same function on the same
    engine, from this test on; FAILED when it cannot come from a batch. `batchable(item)` gives the source of a
    test that may join the batch, or None."""
    if engine not in BATCHED_ENGINES:
        return FAILED
    if (engine, source) not in _values:
        items = request.session.items
        batch, seen = [], set()
        for item in items[items.index(request.node):]:
            if len(batch) == BATCH_SIZE:
                break
            if item.originalname != request.node.originalname or item.callspec.params.get("engine") != engine:
                continue
            other = source if item is request.node else batchable(item)
            if other is None or (engine, other) in _values or other in seen:
                continue
            query = _one_query(engine, other)
            if query is not None:
                batch.append((other, query))
                seen.add(other)
        if batch:
            _fetch(request, engine, batch)
        _values.setdefault((engine, source), FAILED)
    return _values[(engine, source)]
