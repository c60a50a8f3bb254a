"""Compiles the example program, runs its SQL on DuckDB and prints SQL and rows.

While the compiler is not yet in the module, prints the program's syntax tree.
"""

import pathlib

import mirtova

source = (pathlib.Path(__file__).parent / "hello.l").read_text()

if hasattr(mirtova, "compile"):
    import duckdb

    sql = mirtova.compile(source, "Grandparent")
    print(sql)
    for row in duckdb.sql(sql).fetchall():
        print(row)
else:
    print(mirtova.parse(source))
