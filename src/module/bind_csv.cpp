// The CSV form of the language data under its own names: `CSV_BLOCKS`, `is_section_header`,
// `new_block`, `dat_2_csv` and `csv_2_dat`, taking and returning Python values.
#include <nanobind/stl/string.h>

#include <optional>

#include "bindings.h"
#include "data/dialogue_csv.h"
#include "py_value.h"
#include "py_window.h"

namespace verbix::py {
namespace {

using namespace nb::literals;

// The cells of a row given as a list or tuple: texts as they are, other values as str()
// shows them. Nothing when the row is neither.
std::optional<CsvRow> row_of(nb::handle row) {
  if (!PyList_Check(row.ptr()) && !PyTuple_Check(row.ptr())) return std::nullopt;
  CsvRow cells;
  cells.reserve(nb::len(row));
  for (nb::handle cell : row) {
    if (PyUnicode_Check(cell.ptr())) {
      Py_ssize_t n = 0;
      const char* s = PyUnicode_AsUTF8AndSize(cell.ptr(), &n);
      if (!s) throw nb::python_error();
      cells.emplace_back(s, static_cast<std::size_t>(n));
    } else {
      cells.push_back(text_of(cell));
    }
  }
  return cells;
}

CsvRow row_arg(nb::handle row) {
  auto cells = row_of(row);
  if (!cells) throw nb::type_error("a row is a list of texts");
  return std::move(*cells);
}

// The record as the writer reads it. Its images play no part in the rows, so a record's
// image map is not copied (an empty one keeps what the validity check sees). A value that
// the tool cannot hold raises the conversion's TypeError.
Value csv_record_arg(nb::handle rec) {
  if (PyDict_Check(rec.ptr())) {
    PyObject* images = PyDict_GetItemString(rec.ptr(), "img_data");
    if (images && PyDict_Check(images) && PyDict_Size(images) > 0) {
      nb::dict shallow = nb::borrow<nb::dict>(rec.attr("copy")());
      shallow["img_data"] = nb::dict();
      return from_python(shallow);
    }
  }
  return from_python(rec);
}

}  // namespace

void bind_csv(nb::module_& m) {
  nb::dict blocks;
  for (const auto& [key, cells] : CSV_BLOCKS) blocks[nb::str(key.data(), key.size())] = cells;
  m.attr("CSV_BLOCKS") = blocks;

  m.def(
      "is_section_header", [](nb::handle p_cols) { return is_section_header(row_arg(p_cols)); },
      "p_cols"_a, "Whether the row is a section's column-title row (ID, Source, English, ...).");
  m.def(
      "new_block",
      [](const std::string& p_next, nb::handle /*p_prev*/, nb::handle p_row) {
        return new_block(p_next, "", row_arg(p_row));
      },
      "p_next"_a, "p_prev"_a.none(), "p_row"_a,
      "Whether a row whose first cell upper-cases to p_next starts a new block.");
  m.def(
      "dat_2_csv",
      [](nb::handle p_eng, nb::handle p_lng, nb::handle p_app) {
        WindowArg window(p_app);
        const Value eng = csv_record_arg(p_eng);
        const Value lng = csv_record_arg(p_lng);
        CsvTable rows = dat_2_csv(eng, lng, window.get());
        nb::list out;
        for (const CsvRow& row : rows) {
          nb::list cells;
          for (const std::string& c : row) cells.append(nb::str(c.data(), c.size()));
          out.append(cells);
        }
        return out;
      },
      "p_eng"_a.none(), "p_lng"_a.none() = nb::dict(), "p_app"_a = nb::none(),
      "The rows of dialogue.csv for the English record and an optional translation record.");
  m.def(
      "csv_2_dat",
      [](nb::handle p_csv, nb::handle p_app) {
        WindowArg window(p_app);
        CsvTable rows;
        bool valid = PyList_Check(p_csv.ptr());
        if (valid) {
          rows.reserve(nb::len(p_csv));
          for (nb::handle row : p_csv) {
            auto cells = row_of(row);
            if (!cells) {
              valid = false;
              break;
            }
            rows.push_back(std::move(*cells));
          }
        }
        DialogueRead read = valid ? csv_2_dat(rows, window.get())
                                  : error("Invalid CSV data type.", read_failure(), window.get());
        return nb::make_tuple(to_python(std::move(read.data)), to_python(read.meta.to_value()));
      },
      "p_csv"_a.none(), "p_app"_a = nb::none(),
      "The record and DialogueMeta of dialogue.csv rows; ({}, {}) after a reported error.");
}

}  // namespace verbix::py
