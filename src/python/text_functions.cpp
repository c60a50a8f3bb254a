#include "text_functions.h"

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
    std::optional<std::string> file_name, engine;
    std::optional<std::vector<std::string>> import_root;
    if (!convert_text(bound[0], "source", source) ||
        !convert_optional_text(bound[1], "file_name", file_name) ||
        !convert_optional_text(bound[2], "engine", engine) ||
        !convert_optional_texts(bound[3], "import_root", import_root))
      return nullptr;
    if (!check_engine(engine)) return nullptr;
    std::optional<Json> tree = parse_source(source, file_name, import_root);
    if (!tree) return nullptr;
    return new_str(tree->pretty());
  });
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
