// The language data functions of the module (`data_new`, `data_is_valid`, the constant
// lists) and the container and encoder operations of `verbix.utils`, taking and returning
// Python values.
#include <algorithm>

#include <nanobind/stl/optional.h>
#include <nanobind/stl/string.h>
#include <nanobind/stl/vector.h>

#include "bindings.h"
#include "data/container.h"
#include "data/language_data.h"
#include "py_value.h"
#include "utils/file_helpers.h"
#include "utils/log_service.h"

namespace verbix::py {
namespace {

using namespace nb::literals;

bool truthy(nb::handle obj) {
  const int t = PyObject_IsTrue(obj.ptr());
  if (t < 0) throw nb::python_error();
  return t == 1;
}

// The text of the pending Python error, cleared.
std::string take_error_text() {
  nb::python_error e;
  return nb::str(e.value()).c_str();
}

// `verbix.SECTIONS`: a view of the core's list (it holds no items itself), so that what
// Python appends is what the core's readers see, and the other way round.
struct SectionList {};

std::size_t section_index(Py_ssize_t i) {
  const auto n = static_cast<Py_ssize_t>(SECTIONS.size());
  if (i < 0) i += n;
  if (i < 0 || i >= n) throw nb::index_error("list index out of range");
  return static_cast<std::size_t>(i);
}

nb::list section_copy() { return nb::borrow<nb::list>(nb::cast(SECTIONS)); }

void bind_sections(nb::module_& m) {
  nb::class_<SectionList>(m, "SectionList",
                          "The module's SECTIONS list, shared with the core's readers.")
      .def("__len__", [](SectionList&) { return SECTIONS.size(); })
      .def("__getitem__", [](SectionList&, Py_ssize_t i) { return SECTIONS[section_index(i)]; })
      .def("__getitem__",
           [](SectionList&, nb::slice s) { return section_copy().attr("__getitem__")(s); })
      .def("__setitem__", [](SectionList&, Py_ssize_t i,
                             std::string v) { SECTIONS[section_index(i)] = std::move(v); })
      .def("__iter__", [](SectionList&) { return nb::iter(section_copy()); })
      .def("__contains__",
           [](SectionList&, nb::handle v) {
             if (!nb::isinstance<nb::str>(v)) return false;
             const std::string s = nb::cast<std::string>(v);
             return std::find(SECTIONS.begin(), SECTIONS.end(), s) != SECTIONS.end();
           })
      .def("__eq__",
           [](SectionList&, nb::handle other) {
             if (nb::isinstance<SectionList>(other)) return true;
             return nb::isinstance<nb::list>(other) && section_copy().equal(other);
           })
      .def("__repr__", [](SectionList&) { return nb::repr(section_copy()); })
      .def("append", [](SectionList&, std::string v) { SECTIONS.push_back(std::move(v)); })
      .def("extend",
           [](SectionList&, nb::iterable items) {
             std::vector<std::string> add;
             for (nb::handle h : items) add.push_back(nb::cast<std::string>(h));
             SECTIONS.insert(SECTIONS.end(), add.begin(), add.end());
           })
      .def("index",
           [](SectionList&, const std::string& v) {
             const auto it = std::find(SECTIONS.begin(), SECTIONS.end(), v);
             if (it == SECTIONS.end())
               throw nb::value_error(("'" + v + "' is not in list").c_str());
             return static_cast<std::size_t>(it - SECTIONS.begin());
           })
      .def("count",
           [](SectionList&, const std::string& v) {
             return static_cast<std::size_t>(std::count(SECTIONS.begin(), SECTIONS.end(), v));
           })
      .def("copy", [](SectionList&) { return section_copy(); });
  m.attr("SECTIONS") = nb::cast(SectionList{});
}

// The comparison of structs_match on Python objects as they are: converting a whole record
// to compare its key sets would copy all of it. Keys of any kind compare as Python compares
// them.
bool py_structs_match(nb::handle a, nb::handle b, long long depth) {
  nb::object hold_a, hold_b;  // the nested maps being compared
  for (;;) {
    if (!PyDict_Check(a.ptr()) || !PyDict_Check(b.ptr())) return false;
    if (depth < 1) return true;
    --depth;
    if (PyDict_Size(a.ptr()) != PyDict_Size(b.ptr())) return false;
    Py_ssize_t pos = 0;
    PyObject *key, *value;
    while (PyDict_Next(a.ptr(), &pos, &key, &value)) {
      const int has = PyDict_Contains(b.ptr(), key);
      if (has < 0) throw nb::python_error();
      if (!has) return false;
    }
    nb::object next_a, next_b;
    pos = 0;
    while (PyDict_Next(a.ptr(), &pos, &key, &value)) {
      if (!PyDict_Check(value)) continue;
      next_a = nb::borrow(value);
      PyObject* other = PyDict_GetItemWithError(b.ptr(), key);
      if (!other) {
        if (PyErr_Occurred()) throw nb::python_error();
        return false;
      }
      next_b = nb::borrow(other);
      break;
    }
    if (!next_a.is_valid()) return true;
    hold_a = std::move(next_a);
    hold_b = std::move(next_b);
    a = hold_a;
    b = hold_b;
  }
}

void bind_container(nb::class_<import_utils>& cls) {
  cls.def(
         "dat_save",
         [](import_utils&, nb::handle p_path, nb::handle p_data) {
           const std::string path = path_arg(p_path);
           Value record = from_python(p_data);
           nb::gil_scoped_release unlocked;
           const int rc = dat_save(path, record);
           record = Value();  // dropped without the lock held
           return rc;
         },
         "p_path"_a, "p_data"_a.none())
      .def(
          "dat_load",
          [](import_utils&, nb::handle p_path) -> nb::object {
            const std::string path = path_arg(p_path);
            std::optional<Value> record;
            {
              nb::gil_scoped_release unlocked;
              record = dat_load(path);
            }
            if (!record) return nb::none();
            return to_python(std::move(*record));
          },
          "p_path"_a)
      .def(
          "buff_load",
          [](import_utils&, nb::handle p_file) {
            const std::string bytes = buff_load(path_arg(p_file));
            return nb::steal(
                PyByteArray_FromStringAndSize(bytes.data(), static_cast<Py_ssize_t>(bytes.size())));
          },
          "p_file"_a)
      .def(
          "buff_save",
          [](import_utils&, nb::handle p_file, nb::handle p_bytes) {
            const std::string path = path_arg(p_file);
            BytesArg bytes(p_bytes);
            if (!bytes.ok()) {
              // Nothing is written: the file stays as it was.
              ensure_dir(path);
              utils.crash("Failed to save file: " + bytes_required(p_bytes));
            }
            return buff_save(path, bytes.view());
          },
          "p_file"_a, "p_bytes"_a.none())
      .def(
          "buff_2_str",
          [](import_utils&, nb::handle p_bytes, nb::handle p_compress) {
            if (!truthy(p_bytes)) return std::string();
            BytesArg bytes(p_bytes);
            if (!bytes.ok()) {
              utils.info(text_of(p_bytes));
              utils.crash("Failed to compress and encode bytes: " + bytes_required(p_bytes));
            }
            return buff_2_str(bytes.view(), truthy(p_compress));
          },
          "p_bytes"_a.none(), "p_compress"_a.none() = true)
      .def(
          "str_2_buff",
          [](import_utils&, nb::handle p_str, nb::handle p_decompress) {
            auto to_bytes = [](const std::string& s) {
              return nb::steal<nb::bytes>(
                  PyBytes_FromStringAndSize(s.data(), static_cast<Py_ssize_t>(s.size())));
            };
            if (!truthy(p_str)) return to_bytes({});
            std::string error;
            if (!PyUnicode_Check(p_str.ptr())) {
              error = "'" + nb::cast<std::string>(p_str.type().attr("__name__")) +
                      "' object has no attribute 'encode'";
            } else {
              Py_ssize_t n = 0;
              const char* s = PyUnicode_AsUTF8AndSize(p_str.ptr(), &n);
              if (s)
                return to_bytes(str_2_buff(std::string_view(s, static_cast<std::size_t>(n)),
                                           truthy(p_decompress)));
              error = take_error_text();
            }
            utils.info(text_of(p_str));
            utils.crash("Failed to decompress and decode string: " + error);
          },
          "p_str"_a.none(), "p_decompress"_a.none() = true)
      .def(
          "hash_string",
          [](import_utils&, const std::string& p_string, long long p_length) {
            return hash_string(p_string, p_length);
          },
          "p_string"_a, "p_length"_a = 16)
      .def(
          "structs_match",
          [](import_utils&, nb::handle p_a, nb::handle p_b, long long p_depth) {
            return py_structs_match(p_a, p_b, p_depth);
          },
          "p_a"_a.none(), "p_b"_a.none(), "p_depth"_a = 1);
}

}  // namespace

void bind_data(nb::module_& m, nb::class_<import_utils>& utils_cls) {
  bind_container(utils_cls);
  bind_sections(m);
  m.attr("SECTION_HEADER") = nb::cast(SECTION_HEADER);
  m.attr("FONT_TYPES") = nb::cast(FONT_TYPES);
  m.attr("FONT_FACES") = nb::cast(FONT_FACES);
  m.def(
      "data_new", [] { return to_python(data_new()); },
      "A new empty language data record with its own lists and maps.");
  m.def(
      "data_is_valid",
      [](nb::handle p_dat) {
        nb::object fresh = to_python(data_new());
        return py_structs_match(p_dat, fresh, 1);
      },
      "p_dat"_a.none(), "Whether the value passes as a language data record.");
}

}  // namespace verbix::py
