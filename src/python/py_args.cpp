#include "py_args.h"

#include <algorithm>

namespace mirtova::py {

namespace {

std::string call_name(const Signature& sig) { return std::string(sig.name) + "()"; }

// Adds "while processing '{param}'" to the exception being raised, leaving the
// exception itself and its message unchanged.
void add_note(const char* param) {
  std::string note = std::string("while processing '") + param + "'";
#if PY_VERSION_HEX >= 0x030C0000
  PyObject* exc = PyErr_GetRaisedException();
  if (!exc) return;
  PyObject* result = PyObject_CallMethod(exc, "add_note", "s", note.c_str());
  if (result)
    Py_DECREF(result);
  else
    PyErr_Clear();
  PyErr_SetRaisedException(exc);
#else
  PyObject *type, *value, *tb;
  PyErr_Fetch(&type, &value, &tb);
  PyErr_NormalizeException(&type, &value, &tb);
  if (value) {
    PyObject* result = PyObject_CallMethod(value, "add_note", "s", note.c_str());
    if (result)
      Py_DECREF(result);
    else
      PyErr_Clear();
  }
  PyErr_Restore(type, value, tb);
#endif
}

std::string type_qualname(PyObject* value) {
  PyObject* name = PyType_GetQualName(Py_TYPE(value));
  if (!name) {
    PyErr_Clear();
    return Py_TYPE(value)->tp_name;
  }
  Py_ssize_t size = 0;
  const char* text = PyUnicode_AsUTF8AndSize(name, &size);
  std::string out = text ? std::string(text, size) : std::string(Py_TYPE(value)->tp_name);
  if (!text) PyErr_Clear();
  Py_DECREF(name);
  return out;
}

void raise_not_instance(PyObject* value, const char* expected) {
  if (value == Py_None) {
    PyErr_Format(PyExc_TypeError, "'None' is not an instance of '%s'", expected);
  } else {
    std::string type = type_qualname(value);
    PyErr_Format(PyExc_TypeError, "'%s' object is not an instance of '%s'", type.c_str(), expected);
  }
}

std::string quoted_list(const std::vector<const char*>& names) {
  std::string out;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) out += names.size() == 2 ? " and " : (i + 1 == names.size() ? ", and " : ", ");
    out += "'";
    out += names[i];
    out += "'";
  }
  return out;
}

bool text_of(PyObject* value, std::string_view& out) {
  Py_ssize_t size = 0;
  const char* text = PyUnicode_AsUTF8AndSize(value, &size);
  if (!text) return false;
  out = std::string_view(text, static_cast<size_t>(size));
  return true;
}

}  // namespace

bool bind_arguments(const Signature& sig, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                    std::vector<PyObject*>& bound) {
  const size_t count = sig.params.size();
  bound.assign(count, nullptr);
  const std::string name = call_name(sig);
  if (static_cast<size_t>(nargs) > count) {
    const char* verb = nargs == 1 ? "was" : "were";
    if (sig.required == count)
      PyErr_Format(PyExc_TypeError, "%s takes %zu positional arguments but %zd %s given", name.c_str(), count,
                   nargs, verb);
    else
      PyErr_Format(PyExc_TypeError, "%s takes from %zu to %zu positional arguments but %zd %s given",
                   name.c_str(), sig.required, count, nargs, verb);
    return false;
  }
  for (Py_ssize_t i = 0; i < nargs; ++i) bound[i] = args[i];
  const Py_ssize_t nkw = kwnames ? PyTuple_GET_SIZE(kwnames) : 0;
  for (Py_ssize_t k = 0; k < nkw; ++k) {
    PyObject* key = PyTuple_GET_ITEM(kwnames, k);
    // A name that is no UTF-8 text (a lone surrogate) names no parameter.
    size_t index = count;
    std::string_view key_text;
    if (text_of(key, key_text)) {
      for (size_t p = 0; p < count; ++p)
        if (key_text == sig.params[p]) index = p;
    } else {
      PyErr_Clear();
    }
    if (index == count) {
      PyErr_Format(PyExc_TypeError, "%s got an unexpected keyword argument '%U'", name.c_str(), key);
      return false;
    }
    if (bound[index]) {
      PyErr_Format(PyExc_TypeError, "%s got multiple values for argument '%s'", name.c_str(),
                   sig.params[index]);
      return false;
    }
    bound[index] = args[nargs + k];
  }
  std::vector<const char*> missing;
  for (size_t p = 0; p < sig.required; ++p)
    if (!bound[p]) missing.push_back(sig.params[p]);
  if (!missing.empty()) {
    std::string names = quoted_list(missing);
    PyErr_Format(PyExc_TypeError, "%s missing %zu required positional %s: %s", name.c_str(), missing.size(),
                 missing.size() == 1 ? "argument" : "arguments", names.c_str());
    return false;
  }
  return true;
}

bool convert_text(PyObject* value, const char* param, std::string_view& out) {
  if (value && PyUnicode_Check(value)) {
    if (text_of(value, out)) return true;
  } else {
    raise_not_instance(value ? value : Py_None, "str");
  }
  add_note(param);
  return false;
}

bool convert_optional_text(PyObject* value, const char* param, std::optional<std::string>& out) {
  out.reset();
  if (!value || value == Py_None) return true;
  std::string_view text;
  if (!convert_text(value, param, text)) return false;
  out = std::string(text);
  return true;
}

bool convert_optional_count(PyObject* value, const char* param, std::optional<uint64_t>& out) {
  out.reset();
  if (!value || value == Py_None) return true;
  PyObject* index = PyLong_Check(value) ? (Py_INCREF(value), value) : PyNumber_Index(value);
  if (!index) {
    add_note(param);
    return false;
  }
  unsigned long long n = PyLong_AsUnsignedLongLong(index);
  Py_DECREF(index);
  if (n == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
    add_note(param);
    return false;
  }
  out = static_cast<uint64_t>(n);
  return true;
}

bool convert_optional_texts(PyObject* value, const char* param,
                            std::optional<std::vector<std::string>>& out) {
  out.reset();
  if (!value || value == Py_None) return true;
  if (PyUnicode_Check(value)) {
    PyErr_SetString(PyExc_TypeError, "Can't extract `str` to `Vec`");
    add_note(param);
    return false;
  }
  if (!PySequence_Check(value)) {
    raise_not_instance(value, "Sequence");
    add_note(param);
    return false;
  }
  Py_ssize_t size = PySequence_Size(value);
  if (size < 0) {
    add_note(param);
    return false;
  }
  std::vector<std::string> texts;
  // The length is the sequence's own word: room is made as elements arrive,
  // and reading stops at the bound, whatever length the sequence claims.
  texts.reserve(static_cast<size_t>(std::min<Py_ssize_t>(size, 64)));
  for (Py_ssize_t i = 0; i < size; ++i) {
    if (texts.size() == kMaxListedTexts) {
      PyErr_Format(PyExc_ValueError, "%s lists more than %zu paths", param, kMaxListedTexts);
      add_note(param);
      return false;
    }
    // A new reference: another thread may change the sequence meanwhile.
    PyObject* item = PySequence_GetItem(value, i);
    if (!item) {
      add_note(param);
      return false;
    }
    std::string_view text;
    bool ok = false;
    if (PyUnicode_Check(item)) {
      ok = text_of(item, text);
      // The file system would read the path only up to the NUL.
      if (ok && text.find('\0') != std::string_view::npos) {
        PyErr_SetString(PyExc_ValueError, "embedded null character");
        ok = false;
      }
      if (ok) texts.emplace_back(text);
    } else {
      raise_not_instance(item, "str");
    }
    Py_DECREF(item);
    if (!ok) {
      add_note(param);
      return false;
    }
  }
  out = std::move(texts);
  return true;
}

}  // namespace mirtova::py
