#include "text_functions.h"

#include "assertion/report.h"
#include "parser/front_matter.h"
#include "py_args.h"
#include "py_errors.h"

namespace mirtova::py {

PyObject* parse(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  static const Signature sig{"parse", {"source", "file_name", "engine", "import_root"}, 1};
  return guarded([&]() -> PyObject* {
    std::vector<PyObject*> bound;
    if (!bind_arguments(sig, args, nargs, kwnames, bound)) return nullptr;
    std::string_view source;
    std::optional<std::string> file_name, named_engine;
    std::optional<std::vector<std::string>> import_root;
    if (!convert_text(bound[0], "source", source) ||
        !convert_optional_text(bound[1], "file_name", file_name) ||
        !convert_optional_text(bound[2], "engine", named_engine) ||
        !convert_optional_texts(bound[3], "import_root", import_root))
      return nullptr;
    // Checked, and then unused: the tree is the same for every engine.
    std::optional<Engine> engine;
    if (!read_engine(named_engine, engine)) return nullptr;
    const std::string text(source);
    Outcome<std::string> printed = without_gil([&]() -> Outcome<std::string> {
      TRY(Json tree, parse_tree(text, file_name, import_root));
      return tree.pretty();
    });
    if (!printed.ok()) return raise_value_error(printed.error().message);
    return new_str(printed.value());
  });
}

namespace {

// The body of a function that takes one text and quotes it.
template <class Quote>
PyObject* quote_text(const Signature& sig, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                     Quote quote) {
  return guarded([&]() -> PyObject* {
    std::vector<PyObject*> bound;
    if (!bind_arguments(sig, args, nargs, kwnames, bound)) return nullptr;
    std::string_view text;
    if (!convert_text(bound[0], "text", text)) return nullptr;
    return new_str(quote(text));
  });
}

}  // namespace

PyObject* quote_value(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  static const Signature sig{"quote_value", {"text"}, 1};
  return quote_text(sig, args, nargs, kwnames, assertion::quote_value);
}

PyObject* statement_text(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  static const Signature sig{"statement_text", {"text"}, 1};
  return quote_text(sig, args, nargs, kwnames, assertion::statement_text);
}

PyObject* front_matter(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  static const Signature sig{"front_matter", {"source"}, 1};
  return guarded([&]() -> PyObject* {
    std::vector<PyObject*> bound;
    if (!bind_arguments(sig, args, nargs, kwnames, bound)) return nullptr;
    std::string_view source;
    if (!convert_text(bound[0], "source", source)) return nullptr;
    std::optional<FrontMatterBlock> block = mirtova::front_matter(source);
    if (!block) Py_RETURN_NONE;
    return new_str(block->content);
  });
}

}  // namespace mirtova::py
