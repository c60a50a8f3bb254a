#!/usr/bin/env python3
"""Fails when a source file includes a header of a subsystem it may not use, or
chooses something by engine outside the engines' own files.

Each folder of src/ is one floor; an include may only point at the floors listed
for its own folder below (and at its own folder). A new folder must be added here.

What an engine does lives with that engine: its dialect, its templates and its
row of the engine table. So an engine's name (one of kSupportedEngines) is
compared nowhere but in the engine table, and an Engine value nowhere outside
the dialects' folder; elsewhere the code asks the dialect.
"""
import pathlib
import re
import sys

BASE = {"parser", "common"}
ALLOWED = {
    "common": set(),
    "parser": {"common"},
    "compiler/type_inference": BASE,
    "compiler/dialects": BASE | {"compiler/type_inference"},
    "compiler/expr_translate": BASE | {"compiler/dialects", "compiler/type_inference"},
    "compiler/rule_translate": BASE | {"compiler/expr_translate", "compiler/dialects", "compiler/type_inference"},
    "compiler/functors": BASE,
    "compiler/program": BASE | {"compiler/rule_translate", "compiler/expr_translate", "compiler/dialects",
                                "compiler/type_inference", "compiler/functors"},
    # The assertions read only the tree and the name catalogues kept beside the library rules.
    "assertion": BASE | {"compiler/program"},
    "verifier": BASE | {"compiler/program", "compiler/rule_translate", "compiler/expr_translate",
                        "compiler/dialects", "compiler/type_inference", "compiler/functors", "assertion"},
    "python": BASE | {"compiler/program", "verifier", "assertion"},
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)

# Where engine names may be compared, and where Engine values may be.
ENGINE_TABLE = {"compiler/dialects/engine_table.h", "compiler/dialects/engine_table.cpp"}
ENGINE_FOLDERS = ("compiler/dialects/",)
NAMES_LIST = re.compile(r"kSupportedEngines\s*=\s*\{([^}]*)\}")
ENUMERATOR = r"Engine::k\w+"


def engine_names(root):
    """The engines' names, as the one list of them in src/common/engines.h gives them."""
    listed = NAMES_LIST.search((root / "common" / "engines.h").read_text(encoding="utf-8"))
    return re.findall(r'"([^"]*)"', listed.group(1))


def code_only(text):
    """The text with comments and the insides of character and raw string
    literals blanked (line breaks kept), so that lines keep their numbers;
    plain string literals are kept, as a compared name is one."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            end = text.find("\n", i)
            end = n if end < 0 else end
            out.append(" " * (end - i))
            i = end
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            out.append(re.sub(r"[^\n]", " ", text[i:end]))
            i = end
        elif text.startswith('R"', i) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            open_paren = text.find("(", i + 2)
            close = ")" + text[i + 2:open_paren] + '"'
            end = text.find(close, open_paren)
            end = n if end < 0 else end + len(close)
            out.append(re.sub(r"[^\n]", " ", text[i:end]))
            i = end
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            literal = text[i:j + 1]
            out.append(literal if c == '"' else " " * len(literal))
            i = j + 1
        else:
            out.append(c)
            i += 1
    return "".join(out)


def engine_choices(rel, text, names):
    """The lines of `text` that compare an engine's name, or an Engine value
    where no engine's own file is, each with what is wrong."""
    quoted = "|".join(re.escape('"' + name + '"') for name in names)
    compared_name = re.compile(rf"(?:[=!]=\s*(?:{quoted}))|(?:(?:{quoted})\s*[=!]=)"
                               rf"|(?:(?:compare|starts_with|ends_with)\s*\(\s*(?:{quoted}))")
    compared_value = re.compile(rf"(?:[=!]=\s*{ENUMERATOR})|(?:{ENUMERATOR}\s*[=!]=)|(?:case\s+{ENUMERATOR})")
    found = []
    for number, line in enumerate(code_only(text).split("\n"), 1):
        if rel not in ENGINE_TABLE:
            found += [(number, f"compares an engine's name ({m.group(0).strip()}) outside the engine table")
                      for m in compared_name.finditer(line)]
        if not rel.startswith(ENGINE_FOLDERS):
            found += [(number, f"compares an Engine value ({m.group(0).strip()}) outside the dialects")
                      for m in compared_value.finditer(line)]
    return found


def floor_of(path):
    """The floor a path under src/ belongs to: the longest listed folder holding it."""
    parts = pathlib.PurePosixPath(path).parts
    for n in (2, 1):
        name = "/".join(parts[:n])
        if name in ALLOWED and len(parts) > n:
            return name
    return None


def main():
    root = pathlib.Path(__file__).resolve().parent.parent / "src"
    names = engine_names(root)
    faults = []
    for f in sorted(root.rglob("*")):
        if f.suffix not in (".h", ".cpp"):
            continue
        rel = f.relative_to(root).as_posix()
        text = f.read_text(encoding="utf-8")
        for number, what in engine_choices(rel, text, names):
            faults.append(f"src/{rel}:{number}: {what}; ask the dialect, or the engine's row of the engine table")
        mine = floor_of(rel)
        if mine is None:
            faults.append(f"src/{rel}: lies in no known floor; add its folder to scripts/check_layers.py")
            continue
        for inc in INCLUDE.findall(text):
            if "/" not in inc:
                continue  # a header beside the file
            theirs = floor_of(inc)
            if theirs is None or theirs == mine:
                continue
            if theirs not in ALLOWED[mine]:
                faults.append(f"src/{rel}: {mine} may not include {inc} ({theirs})")
    for fault in faults:
        print(fault, file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
