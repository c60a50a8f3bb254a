#!/usr/bin/env python3
"""Writes the fuzz drivers' seed corpus: every program text the tests hold,
one file each, plus the hand-made inputs kept in fuzz/seeds/.

  seed_corpus.py OUT_DIR [--engine-byte]

With --engine-byte each file starts with one byte that the compile driver
reads as the engine (cycled over the seven).
"""
import ast
import hashlib
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent

# A text is taken as a program when it looks like one: a rule or a fact.
PROGRAM = re.compile(r"[A-Za-z_][A-Za-z0-9_]*\s*\(.*\)\s*(:-|;|=)", re.S)
RAW_STRING = re.compile(r'R"([^(\s]{0,16})\((.*?)\)\1"', re.S)
PLAIN_STRING = re.compile(r'"((?:[^"\\\n]|\\.)*)"')
CPP_ESCAPE = re.compile(r"\\(.)")
CPP_ESCAPES = {"n": "\n", "t": "\t"}


def python_texts(path):
    try:
        tree = ast.parse(path.read_text(encoding="utf-8"))
    except SyntaxError:
        return
    for node in ast.walk(tree):
        if isinstance(node, ast.Constant) and isinstance(node.value, str):
            yield node.value


def cpp_texts(path):
    source = path.read_text(encoding="utf-8", errors="replace")
    for match in RAW_STRING.finditer(source):
        yield match.group(2)
    for match in PLAIN_STRING.finditer(source):
        yield CPP_ESCAPE.sub(lambda m: CPP_ESCAPES.get(m.group(1), m.group(1)), match.group(1))


def programs():
    seen = set()
    sources = [(p, python_texts) for p in sorted((ROOT / "tests/python").rglob("*.py"))]
    sources += [(p, cpp_texts) for p in sorted((ROOT / "tests/cpp").rglob("*.cpp"))]
    for path, reader in sources:
        for text in reader(path):
            if len(text) < 8 or len(text) > 20000 or not PROGRAM.search(text) or text in seen:
                continue
            seen.add(text)
            yield text.encode("utf-8", errors="surrogatepass")
    for path in sorted((ROOT / "fuzz/seeds").glob("*")):
        data = path.read_bytes()
        if data.decode("utf-8", errors="replace") not in seen:
            yield data


def main():
    out = pathlib.Path(sys.argv[1])
    engine_byte = "--engine-byte" in sys.argv[2:]
    out.mkdir(parents=True, exist_ok=True)
    count = 0
    for i, data in enumerate(programs()):
        if engine_byte:
            data = bytes([i % 7]) + data
        (out / hashlib.sha1(data).hexdigest()).write_bytes(data)
        count += 1
    print(f"{count} seeds in {out}")


if __name__ == "__main__":
    main()
