#include "project/compiler.h"

#include <functional>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "data/base64.h"
#include "data/language_data.h"
#include "project/json_text.h"
#include "text/text_form.h"
#include "utils/data_error.h"
#include "utils/file_io.h"

namespace verbix {
namespace {

constexpr std::string_view kDuplicateIds =
    "Sections have duplicated line IDs. Review data generation.";
constexpr std::size_t kFlushSize = 1 << 18;

// The content ids met so far: an open-addressing set of views of ids that live in the
// record, lighter and faster than a node-based set for hundreds of thousands of ids.
class SeenIds {
 public:
  explicit SeenIds(std::size_t expected) {
    std::size_t size = 16;
    while (3 * size < 4 * expected) size *= 2;  // at most three quarters full
    slots_.assign(size, std::string_view());
  }
  // Adds the id; false when it was there already.
  bool insert(std::string_view id) {
    std::string_view* slot = find(id);
    if (slot->data()) return false;
    if (4 * ++count_ > 3 * slots_.size()) grow();
    *find(id) = id.data() ? id : std::string_view("");
    return true;
  }
  bool contains(std::string_view id) { return find(id)->data() != nullptr; }

 private:
  // The slot of the id, or the free slot (a view without data) where it would go.
  std::string_view* find(std::string_view id) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = std::hash<std::string_view>{}(id)&mask;
    while (slots_[i].data() && slots_[i] != id) i = (i + 1) & mask;
    return &slots_[i];
  }
  void grow() {
    std::vector<std::string_view> old(slots_.size() * 2, std::string_view());
    old.swap(slots_);
    for (const std::string_view id : old)
      if (id.data()) *find(id) = id;
  }
  std::vector<std::string_view> slots_;
  std::size_t count_ = 0;
};

// The labels table the sections complete, the ids they name, and the errors counted on the
// way. The lines table is not built: each id enters it once (the sections may not repeat an
// id, and the entries added after them are the ids no section names), so the writer walks
// the sections again instead of holding a second copy of the order.
struct Tables {
  explicit Tables(std::size_t ids) : used(ids) {}
  Map labels;
  SeenIds used;
  long long errors = 0;
};

bool is_choice_block(const Value& entry) {
  const Value* name = entry.as_map().find("name");
  return name && name->is_text() && name->as_text() == "[CHOICES]";
}

// The line where the id's text stood, from its DialogueMeta entry; -1 when unknown.
long long meta_line(const DialogueMeta& p_meta, const std::string& id) {
  const DialogueMeta::Place* first = p_meta.first(id);
  return first ? first->at : -1;
}

void report_missing_lines(const DialogueMeta& p_meta, std::string_view p_id, Window* p_app) {
  const std::string id(p_id);
  const long long line = meta_line(p_meta, id);
  if (line < 0)
    info("Lines missing. Check formatting for cuid: " + id, p_app);
  else
    info("Lines missing. Check formatting at line #" + std::to_string(line) + " for cuid: " + id,
         p_app);
}

// Walks every content id of every section entry in order into the tables. False when an id
// stands twice or text_lut lacks it.
bool fill_from_sections(const Value& p_data, const DialogueMeta& p_meta, Tables& t, Window* p_app) {
  const Map& text_lut = p_data["text_lut"].as_map();
  for (const auto& [section, entries] : p_data["sections"].as_map()) {
    for (const Value& entry : entries.as_list()) {
      const bool choices = is_choice_block(entry);
      for (const Value& id_value : entry["text"].as_list()) {
        const Value* lines = id_value.is_text() ? text_lut.find(id_value.as_text()) : nullptr;
        if (!lines || !t.used.insert(id_value.as_text())) return false;
        const std::string_view id = id_value.as_text();
        if (id.empty()) {
          ++t.errors;
          info("Missing cuid: " + std::string(id), p_app);
        }
        if (!truth(*lines)) {
          ++t.errors;
          report_missing_lines(p_meta, id, p_app);
        }
        if (!choices) continue;
        if (lines->is_list())
          t.labels.set(std::string(id), lines->size() ? lines->as_list().front() : Value(""));
        else
          t.labels.set(std::string(id), *lines);
      }
    }
  }
  return true;
}

// The base64 text of a font or image value; the empty text for none or empty bytes.
void append_encoded(std::string& out, const Value& bytes) {
  if (!truth(bytes)) {
    out += "\"\"";
    return;
  }
  if (!bytes.is_bytes())
    throw DataError(std::string("a bytes-like object is required, not '") + bytes.type_name() +
                    "'");
  out += '"';
  base64_append(out, bytes.as_bytes());
  out += '"';
}

// The output file, written through a buffer that goes to disk whenever it grows large.
class Output {
 public:
  explicit Output(std::string_view path) : file_(path) { buf_.reserve(2 * kFlushSize); }
  std::string& buf() { return buf_; }
  void member(std::string_view key, bool first = false) {
    if (!first) buf_ += ", ";
    append_json_string(buf_, key);
    buf_ += ": ";
  }
  void maybe_flush() {
    if (buf_.size() >= kFlushSize) flush();
  }
  void finish() {
    flush();
    file_.commit();
  }

 private:
  void flush() {
    file_.write(buf_);
    buf_.clear();
  }
  ReplacingFile file_;
  std::string buf_;
};

// How a member's value is written: as JSON, or as the base64 text of its bytes.
using ValueWriter = void (*)(std::string&, const Value&);

void write_entry(Output& out, bool first, std::string_view key, const Value& value,
                 ValueWriter write = append_json) {
  if (!first) out.buf() += ", ";
  append_json_string(out.buf(), key);
  out.buf() += ": ";
  write(out.buf(), value);
  out.maybe_flush();
}

void write_map(Output& out, std::string_view key, const Map& map, ValueWriter write = append_json) {
  out.member(key);
  out.buf() += '{';
  bool first = true;
  for (const auto& [k, v] : map) {
    write_entry(out, first, k, v, write);
    first = false;
  }
  out.buf() += '}';
}

// Each dialogue block's lines in section order, then the entries no section names.
void write_lines(Output& out, const Value& p_data, Tables& t) {
  const Map& text_lut = p_data["text_lut"].as_map();
  out.member("linesLUT");
  out.buf() += '{';
  bool first = true;
  for (const auto& [section, entries] : p_data["sections"].as_map())
    for (const Value& entry : entries.as_list()) {
      if (is_choice_block(entry)) continue;
      for (const Value& id : entry["text"].as_list()) {
        write_entry(out, first, id.as_text(), *text_lut.find(id.as_text()));
        first = false;
      }
    }
  for (const auto& [id, lines] : text_lut) {
    if (t.used.contains(id)) continue;
    write_entry(out, first, id, lines);
    first = false;
  }
  out.buf() += '}';
}

void write_output(std::string_view p_path, const Value& p_data, Tables& t) {
  Output out(p_path);
  out.buf() += SIGNATURE;
  out.buf() += '{';
  // The header members, each the JSON of one record field.
  constexpr std::pair<std::string_view, std::string_view> kHeader[] = {{"langVers", "ver_hash"},
                                                                       {"langName", "lng_name"},
                                                                       {"langInfo", "lng_info"},
                                                                       {"fontFace", "fnt_face"},
                                                                       {"fontSize", "fnt_size"}};
  for (const auto& [member, field] : kHeader) {
    out.member(member, member == kHeader[0].first);
    append_json(out.buf(), p_data[field]);
  }
  out.member("fontFile");
  if (truth(p_data["fnt_data"]))
    append_encoded(out.buf(), p_data["fnt_data"]);
  else
    out.buf() += "null";
  write_map(out, "imgFiles", p_data["img_data"].as_map(), append_encoded);
  write_map(out, "sysLabel", p_data["sys_lbls"].as_map());
  write_map(out, "sysMenus", p_data["sys_menu"].as_map());
  write_map(out, "labelLUT", t.labels);
  write_lines(out, p_data, t);
  out.buf() += '}';
  out.finish();
}

// Everything after the validity check; throws DataError for a record whose parts are not
// shaped as a record's.
bool compile_record(std::string_view p_path, const Value& p_data, const DialogueMeta& p_meta,
                    Window* p_app) {
  const Map& text_lut = p_data["text_lut"].as_map();
  Tables t(text_lut.size());
  t.labels = p_data["item_lut"].as_map();
  for (const auto& [id, name] : p_data["actr_lut"].as_map()) t.labels.set(id, name);
  info("Parsing section data.", p_app);
  if (!fill_from_sections(p_data, p_meta, t, p_app)) return error(kDuplicateIds, false, p_app);
  if (p_app && t.errors > 0 &&
      p_app->popup_yes_no("There were errors.\n\nDo you want abort?",
                          "Build Errors (" + std::to_string(t.errors) + ")"))
    return false;
  info("Compressing and saving data.", p_app);
  try {
    write_output(p_path, p_data, t);
  } catch (const std::bad_alloc&) {
    throw;  // the workflow says so plainly; the file being written is left untouched
  } catch (const std::exception& e) {
    info("Failed to build: " + std::string(p_path) + " Exception: " + e.what(), p_app);
    return false;
  }
  return true;
}

}  // namespace

bool compile(std::string_view p_path, const Value& p_data, const DialogueMeta& p_meta,
             Window* p_app) {
  const std::string path(p_path);
  if (data_is_valid(p_data)) {
    try {
      return compile_record(path, p_data, p_meta, p_app);
    } catch (const DataError&) {
      // A table that is not a map, an entry that is not a map, a text list that is not a
      // list: the record is not one the compiler can read.
    }
  }
  info("Can't compile invalid data structure: " + path, p_app);
  return false;
}

}  // namespace verbix
