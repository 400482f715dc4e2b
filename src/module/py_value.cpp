#include "py_value.h"

#include <string>
#include <unordered_map>
#include <vector>

#include "data/pickle.h"

namespace verbix::py {
namespace {

using detail::ListBox;
using detail::MapBox;
using detail::TreeAccess;

[[noreturn]] void raise(PyObject* type, const std::string& text) {
  PyErr_SetString(type, text.c_str());
  throw nb::python_error();
}

std::string type_name(PyObject* obj) {
  return nb::borrow<nb::str>(nb::handle(obj).type().attr("__name__")).c_str();
}

std::string utf8_of(PyObject* str) {
  Py_ssize_t n = 0;
  const char* s = PyUnicode_AsUTF8AndSize(str, &n);
  if (!s) throw nb::python_error();
  return std::string(s, static_cast<std::size_t>(n));
}

// A scalar's value; false when the object is a container (or of no supported kind).
bool scalar(PyObject* o, Value& out) {
  if (o == Py_None) {
    out = Value();
  } else if (PyBool_Check(o)) {
    out = Value(o == Py_True);
  } else if (PyLong_Check(o)) {
    int overflow = 0;
    const long long v = PyLong_AsLongLongAndOverflow(o, &overflow);
    if (overflow) raise(PyExc_OverflowError, "int beyond 64 bits cannot be stored");
    if (v == -1 && PyErr_Occurred()) throw nb::python_error();
    out = Value(static_cast<std::int64_t>(v));
  } else if (PyFloat_Check(o)) {
    out = Value(PyFloat_AsDouble(o));
  } else if (PyUnicode_Check(o)) {
    out = Value(utf8_of(o));
  } else if (PyBytes_Check(o)) {
    char* s = nullptr;
    Py_ssize_t n = 0;
    if (PyBytes_AsStringAndSize(o, &s, &n) < 0) throw nb::python_error();
    out = Value::bytes(std::string_view(s, static_cast<std::size_t>(n)));
  } else if (PyByteArray_Check(o)) {
    out = Value::bytes(
        std::string_view(PyByteArray_AsString(o), static_cast<std::size_t>(PyByteArray_Size(o))));
  } else if (PyDict_Check(o) || PyList_Check(o) || PyTuple_Check(o)) {
    return false;
  } else {
    raise(PyExc_TypeError, "cannot store an object of type '" + type_name(o) + "'");
  }
  return true;
}

struct Task {
  PyObject* obj;  // borrowed: its container holds it for the whole conversion
  Value* out;     // null: the container's walk is done (leaves the path)
};

}  // namespace

Value from_python(nb::handle root) {
  Value result;
  std::vector<Task> work{{root.ptr(), &result}};
  // Containers held in more than one place, with whether they are on the current path (a
  // second visit then means the container contains itself). An object referenced once
  // cannot be met again and is not recorded.
  struct Seen {
    Value value;
    bool on_path;
  };
  std::unordered_map<PyObject*, Seen> seen;
  std::size_t depth = 0;
  std::vector<PyObject*> values;

  while (!work.empty()) {
    const Task task = work.back();
    work.pop_back();
    PyObject* o = task.obj;
    if (!task.out) {
      --depth;
      if (auto it = seen.find(o); it != seen.end()) it->second.on_path = false;
      continue;
    }
    if (scalar(o, *task.out)) continue;

    const bool tracked = Py_REFCNT(o) > 1;
    if (tracked) {
      if (auto it = seen.find(o); it != seen.end()) {
        if (it->second.on_path) raise(PyExc_ValueError, "a list or dict that contains itself");
        *task.out = it->second.value;
        continue;
      }
    }
    if (++depth > kMaxNesting)
      raise(PyExc_ValueError,
            "value nested deeper than " + std::to_string(kMaxNesting) + " levels");
    work.push_back({o, nullptr});

    if (PyDict_Check(o)) {
      auto* box = new MapBox();
      *task.out = TreeAccess::adopt(box);
      Map& map = box->map;
      map.reserve(static_cast<std::size_t>(PyDict_Size(o)));
      values.clear();
      Py_ssize_t pos = 0;
      PyObject *key, *value;
      while (PyDict_Next(o, &pos, &key, &value)) {
        if (!PyUnicode_Check(key))
          raise(PyExc_TypeError, "dict keys must be str, not '" + type_name(key) + "'");
        map.set(utf8_of(key), Value());
        values.push_back(value);
      }
      if (map.size() != values.size()) raise(PyExc_ValueError, "dict keys equal as text");
      std::size_t i = 0;
      for (auto& [k, v] : map) work.push_back({values[i++], &v});
    } else {
      const bool is_list = PyList_Check(o);
      const Py_ssize_t n = is_list ? PyList_Size(o) : PyTuple_Size(o);
      auto* box = new ListBox();
      *task.out = TreeAccess::adopt(box);
      box->items.resize(static_cast<std::size_t>(n));
      for (Py_ssize_t i = 0; i < n; ++i)
        work.push_back({is_list ? PyList_GetItem(o, i) : PyTuple_GetItem(o, i),
                        &box->items[static_cast<std::size_t>(i)]});
    }
    if (tracked) seen.emplace(o, Seen{*task.out, true});
  }
  return result;
}

namespace {

// A Python list or dict to fill from a list or map of the tree. The task holds the tree's
// list or map, taken out of its parent when nothing else shares that, so that each part of
// the tree is freed as soon as its Python form is filled.
struct Fill {
  Value from;
  PyObject* to;  // a new, empty list (of the right length) or dict; owned by its parent
  bool owned;    // no other value shares the payload: its strings may be moved out
};

// Python str objects of short texts, reused while the same texts come again (the keys of
// every section entry, speaker ids): one object instead of thousands, and its hash is
// computed once for all the dicts it goes into. Equal texts are interchangeable, as
// CPython's own unpickler shares the ones its pickler memoized.
class ShortTexts {
 public:
  ShortTexts() : slots_(kSlots) {}
  ~ShortTexts() {
    for (Slot& s : slots_) Py_XDECREF(s.obj);
  }
  ShortTexts(const ShortTexts&) = delete;
  ShortTexts& operator=(const ShortTexts&) = delete;

  // A new reference to a str of the UTF-8 text; null with a Python error on failure.
  PyObject* get(std::string_view text) {
    if (text.size() > kLongest) return new_str(text);
    Slot& slot = slots_[std::hash<std::string_view>{}(text) & (kSlots - 1)];
    if (slot.obj && slot.text == text) return Py_NewRef(slot.obj);
    PyObject* obj = new_str(text);
    if (!obj) return nullptr;
    Py_XDECREF(slot.obj);
    slot.obj = Py_NewRef(obj);
    slot.text.assign(text);
    return obj;
  }

 private:
  static constexpr std::size_t kSlots = 4096;
  static constexpr std::size_t kLongest = 15;  // kept without allocating
  struct Slot {
    std::string text;
    PyObject* obj = nullptr;
  };
  static PyObject* new_str(std::string_view text) {
    return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
  }
  std::vector<Slot> slots_;
};

class ToPython {
 public:
  nb::object run(Value& root) {
    nb::object result = nb::steal(make(root, true));
    while (!work_.empty()) {
      const Fill fill = std::move(work_.back());
      work_.pop_back();
      if (fill.from.is_list()) {
        ListBox* box = TreeAccess::list_box(fill.from);
        Py_ssize_t i = 0;
        for (Value& item : box->items) PyList_SetItem(fill.to, i++, make(item, fill.owned));
      } else {
        MapBox* box = TreeAccess::map_box(fill.from);
        for (auto& [key, value] : box->map) {
          nb::object k = nb::steal(texts_.get(key));
          if (!k.is_valid()) throw nb::python_error();
          nb::object v = nb::steal(make(value, fill.owned));
          if (PyDict_SetItem(fill.to, k.ptr(), v.ptr()) < 0) throw nb::python_error();
        }
      }
    }
    return result;
  }

 private:
  // A new reference to the Python form of `v`; lists and dicts come back empty and are
  // queued to be filled.
  PyObject* make(Value& v, bool owned) {
    PyObject* out = nullptr;
    switch (v.kind()) {
      case Value::Kind::None:
        out = Py_NewRef(Py_None);
        break;
      case Value::Kind::Bool:
        out = PyBool_FromLong(v.as_bool());
        break;
      case Value::Kind::Int:
        out = PyLong_FromLongLong(v.as_int());
        break;
      case Value::Kind::Float:
        out = PyFloat_FromDouble(v.as_float());
        break;
      case Value::Kind::Text:
      case Value::Kind::Bytes: {
        const bool text = v.is_text();
        const std::string_view s = text ? v.as_text() : v.as_bytes();
        out = text ? texts_.get(s)
                   : PyBytes_FromStringAndSize(s.data(), static_cast<Py_ssize_t>(s.size()));
        // Dropped when this tree alone holds it, freeing the tree as Python fills.
        if (owned) v = Value();
        break;
      }
      case Value::Kind::List:
      case Value::Kind::Map: {
        const bool shared = TreeAccess::share_count(v) > 1;
        const void* payload = TreeAccess::box(v);
        if (shared) {
          if (auto it = shared_.find(payload); it != shared_.end()) return Py_NewRef(it->second);
        }
        out = v.is_list() ? PyList_New(static_cast<Py_ssize_t>(v.size())) : PyDict_New();
        if (!out) throw nb::python_error();
        // The payload's address stays unique while the conversion runs: it allocates none.
        if (shared) shared_.emplace(payload, out);
        work_.push_back({owned ? std::move(v) : Value(v), out, owned && !shared});
        return out;
      }
    }
    if (!out) throw nb::python_error();
    return out;
  }

  std::vector<Fill> work_;
  std::unordered_map<const void*, PyObject*> shared_;  // borrowed: held by the result
  ShortTexts texts_;
};

}  // namespace

nb::object to_python(Value&& v) {
  Value root(std::move(v));
  return ToPython().run(root);
}

BytesArg::BytesArg(nb::handle obj) {
  if (PyObject_CheckBuffer(obj.ptr()) && PyObject_GetBuffer(obj.ptr(), &buf_, PyBUF_SIMPLE) == 0)
    ok_ = true;
  else
    PyErr_Clear();
}

BytesArg::~BytesArg() {
  if (ok_) PyBuffer_Release(&buf_);
}

std::string_view BytesArg::view() const {
  return ok_ ? std::string_view(static_cast<const char*>(buf_.buf),
                                static_cast<std::size_t>(buf_.len))
             : std::string_view();
}

std::string bytes_required(nb::handle obj) {
  return "a bytes-like object is required, not '" + type_name(obj.ptr()) + "'";
}

std::string_view text_arg(nb::handle obj, const char* name) {
  if (!PyUnicode_Check(obj.ptr()))
    throw nb::type_error((std::string(name) + " must be str, not " +
                          nb::cast<std::string>(obj.type().attr("__name__")))
                             .c_str());
  Py_ssize_t n = 0;
  const char* s = PyUnicode_AsUTF8AndSize(obj.ptr(), &n);
  if (!s) throw nb::python_error();
  return {s, static_cast<std::size_t>(n)};
}

// The record as these functions read it: none of them looks at image bytes, so the image
// map keeps its keys with none for values and its bytes are not copied.
Value record_arg(nb::handle rec) {
  if (!PyDict_Check(rec.ptr())) return from_python(rec);
  PyObject* images = PyDict_GetItemString(rec.ptr(), "img_data");
  if (!images || !PyDict_Check(images) || PyDict_Size(images) == 0) return from_python(rec);
  nb::dict shallow = nb::steal<nb::dict>(PyDict_Copy(rec.ptr()));
  if (!shallow.is_valid()) throw nb::python_error();
  shallow["img_data"] = nb::dict().attr("fromkeys")(nb::handle(images));
  return from_python(shallow);
}

}  // namespace verbix::py
