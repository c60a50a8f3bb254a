// The extension module _mirtova: its definition, SUPPORTED_ENGINES and the
// table of functions, added in a fixed order by the execution step.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "check_functions.h"
#include "common/engines.h"
#include "compile_functions.h"
#include "py_errors.h"
#include "text_functions.h"

namespace mirtova::py {
namespace {

constexpr int kFastCall = METH_FASTCALL | METH_KEYWORDS | METH_STATIC;
constexpr int kNoArgs = METH_NOARGS | METH_STATIC;

// Static and never changed: the interpreter reads it when it adds the functions.
// clang-format off
PyMethodDef kFunctions[] = {
    {"parse", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(&parse)), kFastCall,
     "parse(source, file_name=None, engine=None, import_root=None)\n--\n\n"
     "Parse a Mirtova program and return its AST as a JSON string.\n\n"
     "`file_name` is used in error messages; `engine` overrides the program's\n"
     "`@Engine` annotation (default: duckdb); `import_root` lists the directories\n"
     "where `import` statements look up `.l` files (default: the current directory).\n"
     "Raises ValueError on syntax errors."},
    {"compile", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(&compile)), kFastCall,
     "compile(source, predicate, limit=None, offset=None, engine=None, import_root=None)\n--\n\n"
     "Compile one predicate of a Mirtova program to SQL.\n\n"
     "`limit`/`offset` paginate the final result; `limit` is combined with the\n"
     "program's `@Limit` annotation as min(limit, @Limit). `engine` overrides the\n"
     "program's `@Engine` annotation (default: duckdb); `import_root` lists the\n"
     "directories where `import` statements look up `.l` files.\n"
     "Raises ValueError on syntax or compilation errors."},
    {"search", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(&search)), kFastCall,
     "search(source, predicate, pattern, limit=None, offset=None, engine=None, import_root=None)\n--\n\n"
     "Compile a predicate to SQL that keeps only rows where some column matches\n"
     "the regular expression `pattern`: the conditions are OR-ed across every\n"
     "column, each cast to text. `limit`/`offset` as for `compile`. The regular\n"
     "expression is evaluated by the engine's own operator (`~` on PostgreSQL,\n"
     "`REGEXP` on SQLite, `regexp_matches` on DuckDB, `REGEXP_LIKE` elsewhere) and\n"
     "is not a SQL `LIKE` pattern. `engine`, `import_root` and the errors as for\n"
     "`compile`."},
    {"compile_all", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(&compile_all)), kFastCall,
     "compile_all(source, engine=None, import_root=None)\n--\n\n"
     "Compile every defined predicate to SQL; returns {predicate_name: sql}.\n\n"
     "`engine` overrides `@Engine`.\n"
     "Raises ValueError on syntax or compilation errors."},
    {"check", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(&check)), kFastCall,
     "check(source, engine=None, import_root=None)\n--\n\n"
     "Validate a Mirtova program; returns `(errors, warnings)`, two lists of\n"
     "messages. The program is valid when `errors` is empty; warnings do not make\n"
     "it invalid: they report assertions that are well-formed but cannot be run\n"
     "against a database. `engine` overrides `@Engine`.\n"
     "Raises ValueError on syntax errors."},
    {"assertions", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(&assertions)), kFastCall,
     "assertions(source, engine=None, import_root=None)\n--\n\n"
     "Every `@Assert` of a program and where it stands.\n\n"
     "One dict per assertion, in source order, with the keys `predicate`, `name`,\n"
     "`statement`, `status` and `detail`. The status is \"pending\" (`detail` names\n"
     "what it waits for), \"unchecked\" (checkable against a database, see\n"
     "`counterexamples`) or \"unsupported\" (well-formed but not checkable; `detail`\n"
     "says why). Invalid assertions are reported by `check`, not here.\n"
     "Raises ValueError on syntax errors."},
    {"counterexamples", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(&counterexamples)),
     kFastCall,
     "counterexamples(source, predicate, name, limit=None, offset=None, engine=None, import_root=None)\n--\n\n"
     "Compile the search for the counterexamples of an assertion to SQL.\n\n"
     "The assertion `name` of `predicate` holds on a database when the query\n"
     "returns no row there; each row is a counterexample, one column per\n"
     "universally quantified variable of the statement. `limit`/`offset` as in\n"
     "`compile`. Raises ValueError if there is no such assertion, if it is pending\n"
     "or cannot be run against a database, and on syntax or compilation errors."},
    {"plan", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(&plan)), kFastCall,
     "plan(source, predicate, limit=None, offset=None, engine=None, import_root=None, pattern=None, "
     "assertion=None)\n--\n\n"
     "The steps that compute a predicate, for a runner that executes them.\n\n"
     "Each step is a dict: {\"kind\": \"setup\", \"sql\": ...}, {\"kind\": \"sql\", \"sql\": ...}\n"
     "or {\"kind\": \"loop\", \"body\": [...], \"repetitions\": n, \"changed\": ...}. The last\n"
     "step's rows are the predicate's; a loop's `body` statements run again, at\n"
     "most `repetitions` times, until the `changed` query returns 0; the\n"
     "host's runner runs plans, `compile` writes the loops out instead. With\n"
     "`assertion` the plan computes the counterexamples of that assertion of\n"
     "`predicate`, with `pattern` the rows matching it, as `search`;\n"
     "`limit`/`offset` as in `compile`."},
    {"quote_value", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(&quote_value)), kFastCall,
     "quote_value(text)\n--\n\n"
     "A database value as a report shows it: a double-quoted literal, its line\n"
     "breaks, control, invisible and reordering characters escaped, at most 200\n"
     "characters of it. Reports of assertions show counterexample values so: text\n"
     "in the data reads as one value, never as part of the report."},
    {"statement_text", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(&statement_text)), kFastCall,
     "statement_text(text)\n--\n\n"
     "An assertion's statement as a report shows it: on one line, the\n"
     "characters `quote_value` escapes escaped."},
    {"reserved_predicates", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(&reserved_predicates)),
     kNoArgs,
     "reserved_predicates()\n--\n\n"
     "Predicate names Mirtova defines itself, sorted.\n\n"
     "The built-in temporal concepts (`Today`, `Now`) plus every head of every\n"
     "dialect's library program (`Num`, `Str`, `Epoch`, `ArgMax`, ...). A program\n"
     "may reference these but must not define them. Exposed because embedders\n"
     "resolve references against their own catalogue of predicates: a host that\n"
     "stores rules in a database rather than in `.l` files cannot use `check`\n"
     "alone to spot a typo."},
    {"builtin_functions", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(&builtin_functions)),
     kNoArgs,
     "builtin_functions()\n--\n\n"
     "Function and operator names Mirtova compiles to SQL, sorted.\n\n"
     "Every dialect's built-ins (`Substr`, `ToString`, `Like`, `IsNull`, ...).\n"
     "These occupy a different namespace from predicates: they appear in call\n"
     "position, and a call name that is not a built-in is compiled as a SQL\n"
     "passthrough rather than treated as a relation. An embedder checking\n"
     "references must skip them, or `Substr(s, 1, 7)` reads as a reference to a\n"
     "missing table."},
    {"front_matter", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(&front_matter)), kFastCall,
     "front_matter(source)\n--\n\n"
     "The YAML front matter opening a program file, verbatim, or None.\n\n"
     "A file may start with a `---` line, YAML, and a closing `---` line (as in\n"
     "Markdown or an Agent Skill's `SKILL.md`); Mirtova ignores it when it parses;\n"
     "a host reads its metadata (a description, keywords, ...) here, so both agree\n"
     "on where the block ends. The YAML itself is not parsed."},
};
// clang-format on

bool append_to_all(PyObject* module, PyObject* name) {
  PyObject* all = PyObject_GetAttrString(module, "__all__");
  if (!all) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return false;
    PyErr_Clear();
    all = PyList_New(0);
    if (!all) return false;
    if (PyObject_SetAttrString(module, "__all__", all) < 0) {
      Py_DECREF(all);
      return false;
    }
  }
  int rc = PyList_Append(all, name);
  Py_DECREF(all);
  return rc == 0;
}

bool add_supported_engines(PyObject* module) {
  PyObject* engines = PyList_New(0);
  if (!engines) return false;
  for (std::string_view engine : kSupportedEngines) {
    PyObject* s = new_str(engine);
    if (!s || PyList_Append(engines, s) < 0) {
      Py_XDECREF(s);
      Py_DECREF(engines);
      return false;
    }
    Py_DECREF(s);
  }
  PyObject* name = PyUnicode_FromString("SUPPORTED_ENGINES");
  bool ok = name && append_to_all(module, name) && PyObject_SetAttr(module, name, engines) == 0;
  Py_XDECREF(name);
  Py_DECREF(engines);
  return ok;
}

bool add_function(PyObject* module, PyObject* module_name, PyMethodDef* def) {
  PyObject* fn = PyCMethod_New(def, module, module_name, nullptr);
  if (!fn) return false;
  PyObject* name = PyObject_GetAttrString(fn, "__name__");
  bool ok = name && append_to_all(module, name) && PyObject_SetAttr(module, name, fn) == 0;
  Py_XDECREF(name);
  Py_DECREF(fn);
  return ok;
}

int exec_module(PyObject* module) {
  if (!PyModule_Check(module)) {
    PyErr_SetString(PyExc_TypeError, "expected a module");
    return -1;
  }
  if (!add_supported_engines(module)) return -1;
  PyObject* module_name = PyModule_GetNameObject(module);
  if (!module_name) return -1;
  for (PyMethodDef& def : kFunctions) {
    if (!add_function(module, module_name, &def)) {
      Py_DECREF(module_name);
      return -1;
    }
  }
  Py_DECREF(module_name);
  return 0;
}

PyModuleDef_Slot kSlots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(&exec_module)},
#ifdef Py_mod_gil
    {Py_mod_gil, Py_MOD_GIL_NOT_USED},
#endif
    {0, nullptr},
};

PyModuleDef kModule = {
    PyModuleDef_HEAD_INIT, "_mirtova", "", 0, nullptr, kSlots, nullptr, nullptr, nullptr,
};

}  // namespace
}  // namespace mirtova::py

PyMODINIT_FUNC PyInit__mirtova(void) { return PyModuleDef_Init(&mirtova::py::kModule); }
