"""Types of the extension module; the package `mirtova` exports all of it.

The TypedDicts below describe what `plan` and `assertions` return. They exist
for type checkers only: import them under `typing.TYPE_CHECKING`, from
`mirtova._mirtova`.
"""

from collections.abc import Sequence
from typing import Literal, SupportsIndex, TypedDict

__all__ = [
    "SUPPORTED_ENGINES",
    "parse",
    "compile",
    "search",
    "compile_all",
    "check",
    "assertions",
    "counterexamples",
    "plan",
    "quote_value",
    "statement_text",
    "reserved_predicates",
    "builtin_functions",
    "front_matter",
]

SUPPORTED_ENGINES: list[str]

class SetupStep(TypedDict):
    kind: Literal["setup"]
    sql: str

class SqlStep(TypedDict):
    kind: Literal["sql"]
    sql: str

class LoopStep(TypedDict):
    kind: Literal["loop"]
    body: list[str]
    repetitions: int
    changed: str

PlanStep = SetupStep | SqlStep | LoopStep

class AssertionReport(TypedDict):
    predicate: str
    name: str
    statement: str
    status: Literal["unchecked", "pending", "unsupported"]
    detail: str | None

def parse(
    source: str,
    file_name: str | None = None,
    engine: str | None = None,
    import_root: Sequence[str] | None = None,
) -> str: ...
def compile(
    source: str,
    predicate: str,
    limit: SupportsIndex | None = None,
    offset: SupportsIndex | None = None,
    engine: str | None = None,
    import_root: Sequence[str] | None = None,
) -> str: ...
def search(
    source: str,
    predicate: str,
    pattern: str,
    limit: SupportsIndex | None = None,
    offset: SupportsIndex | None = None,
    engine: str | None = None,
    import_root: Sequence[str] | None = None,
) -> str: ...
def compile_all(
    source: str,
    engine: str | None = None,
    import_root: Sequence[str] | None = None,
) -> dict[str, str]: ...
def check(
    source: str,
    engine: str | None = None,
    import_root: Sequence[str] | None = None,
) -> tuple[list[str], list[str]]: ...
def assertions(
    source: str,
    engine: str | None = None,
    import_root: Sequence[str] | None = None,
) -> list[AssertionReport]: ...
def counterexamples(
    source: str,
    predicate: str,
    name: str,
    limit: SupportsIndex | None = None,
    offset: SupportsIndex | None = None,
    engine: str | None = None,
    import_root: Sequence[str] | None = None,
) -> str: ...
def plan(
    source: str,
    predicate: str,
    limit: SupportsIndex | None = None,
    offset: SupportsIndex | None = None,
    engine: str | None = None,
    import_root: Sequence[str] | None = None,
    pattern: str | None = None,
    assertion: str | None = None,
) -> list[PlanStep]: ...
def quote_value(text: str) -> str: ...
def statement_text(text: str) -> str: ...
def reserved_predicates() -> list[str]: ...
def builtin_functions() -> list[str]: ...
def front_matter(source: str) -> str | None: ...
