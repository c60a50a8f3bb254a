#include "py_errors.h"

#include "common/engines.h"
#include "parser/parse_file.h"

namespace mirtova::py {

PyObject* new_str(std::string_view text) {
  return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

PyObject* new_str_list(const std::vector<std::string>& texts) {
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(texts.size()));
  if (!list) return nullptr;
  for (size_t i = 0; i < texts.size(); ++i) {
    PyObject* item = new_str(texts[i]);
    if (!item) {
      Py_DECREF(list);
      return nullptr;
    }
    PyList_SET_ITEM(list, static_cast<Py_ssize_t>(i), item);
  }
  return list;
}

bool read_engine(const std::optional<std::string>& name, std::optional<Engine>& engine) {
  if (!name) return true;
  engine = engine_named(*name);
  if (engine) return true;
  raise_value_error(unsupported_engine_message(*name));
  return false;
}

Outcome<Json> parse_tree(std::string_view source, const std::optional<std::string>& file_name,
                         const std::optional<std::vector<std::string>>& import_root) {
  auto result = parse_file(std::string(source), file_name, import_root.value_or(std::vector<std::string>{}));
  if (result.ok()) return std::move(result).value();
  return HostError{result.error().show_message()};
}

PyObject* raise_value_error(const std::string& text) {
  PyObject* s = new_str(text);
  if (s) {
    PyErr_SetObject(PyExc_ValueError, s);
    Py_DECREF(s);
  }
  return nullptr;
}

bool put_item(PyObject* dict, const char* key, PyObject* value) {
  if (!value) return false;
  const int rc = PyDict_SetItemString(dict, key, value);
  Py_DECREF(value);
  return rc == 0;
}

}  // namespace mirtova::py
