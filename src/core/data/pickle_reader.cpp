// The pickle reader: protocols 0 to 5 of the value kinds the game's data holds, evaluated as
// CPython's pickle.loads would, within the bounds pickle.h states.
#include "data/pickle.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

#include "data/pickle_opcodes.h"
#include "text/py_text.h"
#include "text/utf8.h"
#include "utils/data_error.h"

namespace verbix {
namespace {

using detail::ListBox;
using detail::MapBox;
using detail::TreeAccess;
namespace op = pickle_op;

[[noreturn]] void fail(const std::string& text) { throw DataError(text); }

constexpr const char* kTruncated = "pickle data was truncated";
constexpr const char* kTooBig = "int beyond 64 bits in pickle data";

// The globals a stream may name, evaluated by the reader itself.
enum class Callable : std::uint8_t { None, CodecsEncode, ByteArray, Bytes };

struct Slot {
  Slot() = default;
  explicit Slot(Value&& v, Callable f = Callable::None) noexcept : value(std::move(v)), fn(f) {}
  Value value;
  Callable fn = Callable::None;
};

constexpr std::size_t kBufSize = 1 << 18;       // read-ahead buffer
constexpr std::size_t kDirect = 1 << 16;        // strings up to this come out of the buffer
constexpr std::size_t kFirstGrant = 16 << 20;   // a longer one grows as its bytes arrive
constexpr std::uint64_t kMaxString = 1u << 30;  // no text or byte string is longer
constexpr std::size_t kAllowance = 64 << 20;    // copying beyond the input, see charge()

void check_utf8(std::string_view s) {
  const char* p = s.data();
  const char* end = p + s.size();
  for (; end - p >= 8; p += 8) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    if (w & 0x8080808080808080ull) break;
  }
  for (; p < end; ++p)
    if (static_cast<unsigned char>(*p) >= 0x80) break;
  if (p == end) return;
  if (auto bad = utf8_error(s)) fail(*bad);
}

// The text of a protocol 0 UNICODE argument: bytes are Latin-1 code points, and \uXXXX or
// \UXXXXXXXX after an odd number of backslashes are escapes (Python's raw-unicode-escape).
std::string raw_unicode_escape(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c != '\\') {
      append_utf8(out, c);
      ++i;
      continue;
    }
    std::size_t run = 0;
    while (i + run < s.size() && s[i + run] == '\\') ++run;
    const std::size_t after = i + run;
    const bool escape = run % 2 == 1 && after < s.size() && (s[after] == 'u' || s[after] == 'U');
    out.append(escape ? run - 1 : run, '\\');
    i = after;
    if (!escape) continue;
    const std::size_t digits = s[after] == 'u' ? 4 : 8;
    if (after + 1 + digits > s.size()) fail("truncated \\uXXXX escape in pickle data");
    std::uint32_t cp = 0;
    for (std::size_t k = 0; k < digits; ++k) {
      const char h = s[after + 1 + k];
      const int d = h >= '0' && h <= '9'   ? h - '0'
                    : h >= 'a' && h <= 'f' ? h - 'a' + 10
                    : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                           : -1;
      if (d < 0) fail("truncated \\uXXXX escape in pickle data");
      cp = cp * 16 + static_cast<std::uint32_t>(d);
    }
    if (cp > 0x10FFFF) fail("\\Uxxxxxxxx out of range in pickle data");
    if (cp >= 0xD800 && cp <= 0xDFFF) fail("surrogate code point in pickle text");
    append_utf8(out, cp);
    i = after + 1 + digits;
  }
  return out;
}

// A little-endian two's complement integer of n bytes, which must fit 64 bits.
std::int64_t le_signed(const char* s, std::size_t n) {
  if (n == 0) return 0;
  if (n > 8) {
    const char ext = (s[7] & 0x80) ? '\xff' : '\0';
    for (std::size_t i = 8; i < n; ++i)
      if (s[i] != ext) fail(kTooBig);
    n = 8;
  }
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < n; ++i)
    v |= std::uint64_t{static_cast<unsigned char>(s[i])} << (8 * i);
  if (n < 8 && (s[n - 1] & 0x80)) v |= ~std::uint64_t{0} << (8 * n);
  return static_cast<std::int64_t>(v);
}

std::int64_t parse_int(std::string_view s) {
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  std::int64_t v = 0;
  const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v, 10);
  if (ec == std::errc::result_out_of_range) fail(kTooBig);
  if (ec != std::errc() || ptr != s.data() + s.size() || s.empty())
    fail("invalid integer in pickle data");
  return v;
}

// One memo slot. It owns nothing: everything the reader builds stays alive until the read
// ends (what the stream drops is kept aside, see Reader::bury), so a slot can point at a
// list's or map's payload, or into the heap buffer of a long text, and a fetch shares the
// payload or copies the text.
struct MemoSlot {
  enum class Tag : std::uint8_t { None, Bool, Int, Float, Text, Bytes, Box, Global };
  Tag tag = Tag::None;
  Callable fn = Callable::None;
  std::uint8_t near_len = 0;  // length of a short text kept in `near`, else 0xFF
  union {
    bool b;
    std::int64_t i;
    double f;
    detail::Box* box;
    detail::TextBlock* block;  // a long text's
    char near[16];
  };
  MemoSlot() : i(0) {}
};

// The dense part of the memo, in chunks, so that it grows without moving.
class MemoTable {
 public:
  std::size_t size() const { return size_; }
  MemoSlot& operator[](std::size_t i) { return chunks_[i >> kShift][i & kMask]; }
  MemoSlot& push() {
    if ((size_ & kMask) == 0) chunks_.push_back(std::make_unique<MemoSlot[]>(kMask + 1));
    return (*this)[size_++];
  }

 private:
  static constexpr std::size_t kShift = 12;
  static constexpr std::size_t kMask = (std::size_t{1} << kShift) - 1;
  std::vector<std::unique_ptr<MemoSlot[]>> chunks_;
  std::size_t size_ = 0;
};

class Reader {
 public:
  Reader(ByteSource& source, std::size_t max_values)
      : source_(source), buf_(new char[kBufSize]), max_values_(std::min(max_values, kMaxValues)) {
    p_ = end_ = buf_.get();
  }
  ~Reader();
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  Value run();

 private:
  // -- Input --
  void refill(std::size_t n);
  bool fetch();
  const char* take(std::size_t n) {
    if (static_cast<std::size_t>(end_ - p_) < n) refill(n);
    const char* at = p_;
    p_ += n;
    return at;
  }
  std::uint8_t u8() { return static_cast<std::uint8_t>(*take(1)); }
  std::uint16_t u16() {
    const char* s = take(2);
    return static_cast<std::uint16_t>(static_cast<unsigned char>(s[0]) |
                                      static_cast<unsigned char>(s[1]) << 8);
  }
  std::uint32_t u32() {
    const char* s = take(4);
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s[i]);
    return v;
  }
  std::uint64_t u64() {
    const char* s = take(8);
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s[i]);
    return v;
  }
  std::string_view line();
  Value read_string(std::uint64_t n, bool text);

  // -- Stack --
  std::size_t fence() const { return marks_.empty() ? 0 : marks_.back(); }
  Slot& top() {
    if (stack_.size() <= fence()) fail("unpickling stack underflow");
    return stack_.back();
  }
  Slot pop() {
    Slot s = std::move(top());
    stack_.pop_back();
    return s;
  }
  Value pop_data() { return data_of(pop()); }
  static Value data_of(Slot&& s) {
    if (s.fn != Callable::None) fail("a global cannot be stored as data");
    return std::move(s.value);
  }
  std::size_t pop_mark() {
    if (marks_.empty()) fail("could not find MARK");
    const std::size_t m = marks_.back();
    marks_.pop_back();
    return m;
  }
  // Removes the stack items from `first` on.
  void drop_from(std::size_t first) {
    for (std::size_t i = first; i < stack_.size(); ++i) bury(std::move(stack_[i].value));
    stack_.resize(first);
  }
  // Keeps a value the stream has dropped until the read ends: memo slots may point into it.
  void bury(Value v) {
    if (v.is_list() || v.is_map() || v.size() > 0) graveyard_.push_back(std::move(v));
  }
  void count_value() {
    if (++made_ > max_values_)
      fail("pickle data holds more than " + std::to_string(max_values_) + " values");
  }
  void push(Value&& v) {
    count_value();
    stack_.emplace_back(std::move(v));
  }

  // -- Building --
  void charge(std::size_t bytes);
  ListBox& building_list(Value& v);
  MapBox& building_map(Value& v);
  void add_child(detail::Box& parent, const Value& child) const;
  Value list_from(std::size_t first);
  void append_items(std::size_t target, std::size_t first);
  void set_items(MapBox& box, std::size_t first);

  // -- Memo --
  void memo_put(std::uint64_t index);
  // Drops the memo's reference to a long text's block.
  static void release(MemoSlot& slot) {
    using Tag = MemoSlot::Tag;
    if ((slot.tag == Tag::Text || slot.tag == Tag::Bytes) && slot.near_len == 0xFF)
      detail::release_text(slot.block);
    slot.tag = Tag::None;
  }
  void memo_get(std::uint64_t index);

  void global(std::string_view module, std::string_view name);
  void reduce();
  [[noreturn]] void unsupported(std::uint8_t code);

  ByteSource& source_;
  std::unique_ptr<char[]> buf_;  // read-ahead, kBufSize bytes
  std::size_t max_values_;
  char* p_;
  char* end_;
  std::uint64_t total_in_ = 0;
  std::string line_;

  std::vector<Slot> stack_;
  std::vector<std::size_t> marks_;
  MemoTable memo_;
  std::unordered_map<std::uint64_t, MemoSlot> sparse_memo_;
  std::vector<Value> graveyard_;
  std::size_t made_ = 0;
  std::uint64_t copied_ = 0;
};

void Reader::refill(std::size_t n) {
  const std::size_t have = static_cast<std::size_t>(end_ - p_);
  std::memmove(buf_.get(), p_, have);
  p_ = buf_.get();
  end_ = p_ + have;
  while (static_cast<std::size_t>(end_ - p_) < n) {
    const std::size_t got =
        source_.read(end_, static_cast<std::size_t>(buf_.get() + kBufSize - end_));
    if (got == 0) fail(total_in_ == 0 ? "Ran out of input" : kTruncated);
    end_ += got;
    total_in_ += got;
  }
}

bool Reader::fetch() {
  p_ = end_ = buf_.get();
  const std::size_t got = source_.read(p_, kBufSize);
  end_ += got;
  total_in_ += got;
  return got > 0;
}

std::string_view Reader::line() {
  auto* nl = static_cast<char*>(std::memchr(p_, '\n', static_cast<std::size_t>(end_ - p_)));
  if (nl) {
    const std::string_view text(p_, static_cast<std::size_t>(nl - p_));
    p_ = nl + 1;
    return text;
  }
  line_.assign(p_, end_);
  while (fetch()) {
    nl = static_cast<char*>(std::memchr(p_, '\n', static_cast<std::size_t>(end_ - p_)));
    if (nl) {
      line_.append(p_, nl);
      p_ = nl + 1;
      return line_;
    }
    line_.append(p_, end_);
    if (line_.size() > kMaxString) fail("pickle line too long");
  }
  fail(kTruncated);
}

// A text (checked to be UTF-8) or byte string of `n` bytes from the stream. A long one is
// read straight into the value's own block.
Value Reader::read_string(std::uint64_t n, bool text) {
  if (n <= kDirect) {
    const std::string_view s(take(static_cast<std::size_t>(n)), n);
    if (!text) return Value::bytes(s);
    check_utf8(s);
    return Value(s);
  }
  if (n > kMaxString) fail("pickle string of " + std::to_string(n) + " bytes is too long");
  const std::size_t want = static_cast<std::size_t>(n);
  const std::size_t buffered = std::min(want, static_cast<std::size_t>(end_ - p_));
  // Grown as the bytes arrive, so that a length without data behind it allocates little.
  detail::TextBlock* block =
      detail::TextBlock::allocate(std::min(want, std::max(buffered, kFirstGrant)));
  Value out = TreeAccess::adopt(block, text);
  std::memcpy(block->chars(), p_, buffered);
  p_ += buffered;
  std::size_t have = buffered;
  while (have < want) {
    if (have == block->size) {
      detail::TextBlock* grown = detail::TextBlock::allocate(std::min(want, have * 2));
      std::memcpy(grown->chars(), block->chars(), have);
      out = TreeAccess::adopt(grown, text);
      block = grown;
    }
    const std::size_t got = source_.read(block->chars() + have, block->size - have);
    if (got == 0) fail(kTruncated);
    have += got;
    total_in_ += got;
  }
  if (text) check_utf8(out.as_text());
  return out;
}

// Copies that references in the stream cause (a change to a shared list, a long text
// fetched from the memo) may add up to the input read so far plus a fixed allowance; a
// stream that needs more is an attack, not data.
void Reader::charge(std::size_t bytes) {
  copied_ += bytes;
  if (copied_ > total_in_ + kAllowance) fail("pickle data expands beyond its size");
}

// A list or map on the stack that an opcode adds to. The memo may refer to it (the stream
// means the same object), but when any other value holds it (it was fetched again, or
// stored in another container), it is copied first: a change is then never seen through
// the other holder, and no container can come to contain itself.
ListBox& Reader::building_list(Value& v) {
  ListBox* box = TreeAccess::list_box(v);
  if (!box) fail("APPEND to a value that is not a list");
  if (box->refs.load(std::memory_order_relaxed) > 1) {
    charge(box->items.size() * sizeof(Value));
    bury(v);      // the other holders keep what they saw
    v.as_list();  // the copy
    box = TreeAccess::list_box(v);
  }
  return *box;
}

MapBox& Reader::building_map(Value& v) {
  MapBox* box = TreeAccess::map_box(v);
  if (!box) fail("SETITEM on a value that is not a dict");
  if (box->refs.load(std::memory_order_relaxed) > 1) {
    charge(box->map.size() * sizeof(MapEntry));
    bury(v);     // the other holders keep what they saw
    v.as_map();  // the copy
    box = TreeAccess::map_box(v);
  }
  return *box;
}

// Accounts for a child added to a list or map: its levels and its expanded size. The size
// counts a shared payload each time it is referred to, so that a small stream whose memo
// references multiply one large list is refused rather than handed on.
void Reader::add_child(detail::Box& parent, const Value& child) const {
  const detail::Box* box = TreeAccess::box(child);
  const std::uint32_t weight =
      box ? box->weight
          : 1 + static_cast<std::uint32_t>(std::min<std::size_t>(child.size() / 64, kMaxValues));
  const unsigned h = (box ? box->height : 0u) + 1u;
  if (h > parent.height) {
    if (h > kMaxNesting)
      fail("pickle data nested deeper than " + std::to_string(kMaxNesting) + " levels");
    parent.height = static_cast<std::uint16_t>(h);
  }
  parent.weight += weight;
  if (parent.weight > max_values_)
    fail("pickle data expands to more than " + std::to_string(max_values_) + " values");
}

// The stack items from `first` on, as a new list replacing them.
Value Reader::list_from(std::size_t first) {
  auto* box = new ListBox();
  Value list = TreeAccess::adopt(box);
  box->items.reserve(stack_.size() - first);
  for (std::size_t i = first; i < stack_.size(); ++i) {
    Value item = data_of(std::move(stack_[i]));
    add_child(*box, item);
    box->items.push_back(std::move(item));
  }
  stack_.resize(first);
  return list;
}

void Reader::append_items(std::size_t target, std::size_t first) {
  if (stack_[target].fn != Callable::None) fail("APPEND to a global");
  ListBox& box = building_list(stack_[target].value);
  // Geometric, as protocols 0 and 1 append one item at a time.
  const std::size_t need = box.items.size() + (stack_.size() - first);
  if (need > box.items.capacity()) box.items.reserve(std::max(need, 2 * box.items.capacity()));
  for (std::size_t i = first; i < stack_.size(); ++i) {
    Value item = data_of(std::move(stack_[i]));
    add_child(box, item);
    box.items.push_back(std::move(item));
  }
  stack_.resize(first);
}

void Reader::set_items(MapBox& box, std::size_t first) {
  if ((stack_.size() - first) % 2) fail("odd number of items for SETITEMS");
  box.map.reserve(box.map.size() + (stack_.size() - first) / 2);
  for (std::size_t i = first; i < stack_.size(); i += 2) {
    Value key = data_of(std::move(stack_[i]));
    Value value = data_of(std::move(stack_[i + 1]));
    if (!key.is_text())
      fail(std::string("dict key of kind ") + key.type_name() + " in pickle data (str expected)");
    add_child(box, value);
    std::string text(key.as_text());
    auto [present, added] = box.map.try_emplace(std::move(text), std::move(value));
    if (!added) {
      // A repeated key: the later value wins, as in Python; what it replaces is kept.
      bury(std::move(key));
      bury(std::move(*present));
      *present = std::move(value);
    }
  }
  stack_.resize(first);
}

void Reader::memo_put(std::uint64_t index) {
  Slot& item = top();
  MemoSlot slot;
  slot.fn = item.fn;
  Value& v = item.value;
  using Tag = MemoSlot::Tag;
  if (item.fn != Callable::None) {
    slot.tag = Tag::Global;
  } else if (detail::Box* box = TreeAccess::box(v)) {
    slot.tag = Tag::Box;
    slot.box = box;
  } else if (v.is_text() || v.is_bytes()) {
    slot.tag = v.is_text() ? Tag::Text : Tag::Bytes;
    if (detail::TextBlock* block = TreeAccess::text_block(v)) {
      // The memo holds a reference of its own: a dict key's text is copied into the map
      // and its value dropped.
      block->refs.fetch_add(1, std::memory_order_relaxed);
      slot.near_len = 0xFF;
      slot.block = block;
    } else {
      const std::string_view chars = v.is_text() ? v.as_text() : v.as_bytes();
      slot.near_len = static_cast<std::uint8_t>(chars.size());
      std::memcpy(slot.near, chars.data(), chars.size());
    }
  } else if (v.is_bool()) {
    slot.tag = Tag::Bool;
    slot.b = v.as_bool();
  } else if (v.is_int()) {
    slot.tag = Tag::Int;
    slot.i = v.as_int();
  } else if (v.is_float()) {
    slot.tag = Tag::Float;
    slot.f = v.as_float();
  }
  if (index < memo_.size()) {
    release(memo_[index]);
    memo_[index] = slot;
  } else if (index == memo_.size() && sparse_memo_.find(index) == sparse_memo_.end()) {
    memo_.push() = slot;
  } else {
    // Out of sequence (CPython numbers its memo densely): kept aside, so that a huge index
    // costs one entry and not a table reaching up to it.
    MemoSlot& kept = sparse_memo_[index];
    release(kept);
    kept = slot;
  }
}

void Reader::memo_get(std::uint64_t index) {
  const MemoSlot* slot = nullptr;
  if (index < memo_.size()) {
    slot = &memo_[index];
  } else if (auto it = sparse_memo_.find(index); it != sparse_memo_.end()) {
    slot = &it->second;
  }
  if (!slot) fail("Memo value not found at index " + std::to_string(index));
  count_value();
  using Tag = MemoSlot::Tag;
  switch (slot->tag) {
    case Tag::None:
      stack_.emplace_back(Value());
      break;
    case Tag::Bool:
      stack_.emplace_back(Value(slot->b));
      break;
    case Tag::Int:
      stack_.emplace_back(Value(slot->i));
      break;
    case Tag::Float:
      stack_.emplace_back(Value(slot->f));
      break;
    case Tag::Text:
    case Tag::Bytes: {
      const bool text = slot->tag == Tag::Text;
      if (slot->near_len == 0xFF) {
        stack_.emplace_back(TreeAccess::share(slot->block, text));
      } else {
        const std::string_view s(slot->near, slot->near_len);
        stack_.emplace_back(text ? Value(s) : Value::bytes(s));
      }
      break;
    }
    case Tag::Box:
      stack_.emplace_back(TreeAccess::share(slot->box));
      break;
    case Tag::Global:
      stack_.emplace_back(Value(), slot->fn);
      break;
  }
}

void Reader::global(std::string_view module, std::string_view name) {
  Callable fn = Callable::None;
  const bool builtins = module == "builtins" || module == "__builtin__";
  if (module == "_codecs" && name == "encode") fn = Callable::CodecsEncode;
  if (builtins && name == "bytearray") fn = Callable::ByteArray;
  if (builtins && name == "bytes") fn = Callable::Bytes;
  if (fn == Callable::None)
    fail("global '" + std::string(module) + "." + std::string(name) + "' is forbidden");
  count_value();
  stack_.push_back(Slot{Value(), fn});
}

// The call of a reconstructor on its argument tuple, as CPython would evaluate it.
void Reader::reduce() {
  Value args = pop_data();
  Slot callee = pop();
  if (callee.fn == Callable::None) fail("REDUCE of a value that is not a global");
  if (!args.is_list()) fail("REDUCE arguments are not a tuple");
  const List& a = args.as_list();
  std::string bytes;
  switch (callee.fn) {
    case Callable::CodecsEncode: {
      if (a.size() != 2 || !a[0].is_text() || !a[1].is_text() ||
          (a[1].as_text() != "latin1" && a[1].as_text() != "latin-1"))
        fail("unsupported call of _codecs.encode in pickle data");
      const std::string_view text = a[0].as_text();
      bytes.reserve(text.size());
      for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
          bytes += static_cast<char>(c);
          ++i;
        } else if ((c & 0xE0) == 0xC0 && c <= 0xC3) {
          bytes += static_cast<char>(((c & 0x1F) << 6) | (text[i + 1] & 0x3F));
          i += 2;
        } else {
          fail("'latin-1' codec can't encode a character of the text in pickle data");
        }
      }
      break;
    }
    case Callable::ByteArray:
    case Callable::Bytes:
      if (a.size() == 1 && a[0].is_bytes())
        bytes = a[0].as_bytes();
      else if (!a.empty())
        fail(std::string("unsupported call of ") +
             (callee.fn == Callable::Bytes ? "bytes" : "bytearray") + " in pickle data");
      break;
    case Callable::None:
      break;
  }
  bury(std::move(args));
  push(Value::bytes(bytes));
}

void Reader::unsupported(std::uint8_t code) {
  static const std::pair<std::uint8_t, const char*> kNames[] = {
      {op::PERSID, "PERSID"},
      {op::BINPERSID, "BINPERSID"},
      {op::BUILD, "BUILD"},
      {op::INST, "INST"},
      {op::OBJ, "OBJ"},
      {op::NEWOBJ, "NEWOBJ"},
      {op::NEWOBJ_EX, "NEWOBJ_EX"},
      {op::EXT1, "EXT1"},
      {op::EXT2, "EXT2"},
      {op::EXT4, "EXT4"},
      {op::EMPTY_SET, "EMPTY_SET"},
      {op::ADDITEMS, "ADDITEMS"},
      {op::FROZENSET, "FROZENSET"},
      {op::NEXT_BUFFER, "NEXT_BUFFER"},
      {op::STRING, "STRING"},
      {op::BINSTRING, "BINSTRING"},
      {op::READONLY_BUFFER, "READONLY_BUFFER"},
      {op::SHORT_BINSTRING, "SHORT_BINSTRING"}};
  for (const auto& [c, name] : kNames)
    if (c == code) fail(std::string("pickle opcode ") + name + " is not supported");
  char text[32];
  if (code >= 0x20 && code < 0x7f)
    std::snprintf(text, sizeof text, "'%c'", code);
  else
    std::snprintf(text, sizeof text, "'\\x%02x'", code);
  fail(std::string("invalid load key, ") + text + ".");
}

Reader::~Reader() {
  for (std::size_t i = 0; i < memo_.size(); ++i) release(memo_[i]);
  for (auto& [index, slot] : sparse_memo_) release(slot);
}

Value Reader::run() {
  for (;;) {
    const std::uint8_t code = u8();
    switch (code) {
      case op::PROTO: {
        const std::uint8_t proto = u8();
        if (proto > 5) fail("unsupported pickle protocol: " + std::to_string(proto));
        break;
      }
      case op::FRAME:
        take(8);  // frames only group opcodes; the reader needs no boundaries
        break;
      case op::STOP: {
        Value result = pop_data();
        return result;
      }
      case op::MARK:
        marks_.push_back(stack_.size());
        break;
      case op::POP:
        if (stack_.size() > fence())
          drop_from(stack_.size() - 1);
        else
          drop_from(pop_mark());
        break;
      case op::POP_MARK:
        drop_from(pop_mark());
        break;
      case op::DUP: {
        Slot copy = top();
        charge(copy.value.is_text() || copy.value.is_bytes() ? copy.value.size() : 0);
        count_value();
        stack_.push_back(std::move(copy));
        break;
      }

      case op::NONE:
        push(Value());
        break;
      case op::NEWTRUE:
        push(Value(true));
        break;
      case op::NEWFALSE:
        push(Value(false));
        break;
      case op::INT: {
        const std::string_view text = line();
        if (text == "00")
          push(Value(false));
        else if (text == "01")
          push(Value(true));
        else
          push(Value(parse_int(text)));
        break;
      }
      case op::LONG: {
        std::string_view text = line();
        if (!text.empty() && text.back() == 'L') text.remove_suffix(1);
        push(Value(parse_int(text)));
        break;
      }
      case op::BININT:
        push(Value(static_cast<std::int32_t>(u32())));
        break;
      case op::BININT1:
        push(Value(u8()));
        break;
      case op::BININT2:
        push(Value(u16()));
        break;
      case op::LONG1: {
        const std::uint8_t n = u8();
        push(Value(le_signed(take(n), n)));
        break;
      }
      case op::LONG4: {
        const auto n = static_cast<std::int32_t>(u32());
        if (n < 0) fail("LONG pickle has negative byte count");
        if (n > 16) fail(kTooBig);  // refused before its bytes are read
        push(Value(le_signed(take(static_cast<std::size_t>(n)), static_cast<std::size_t>(n))));
        break;
      }
      case op::FLOAT: {
        std::string_view text = line();
        if (!text.empty() && text.front() == '+') text.remove_prefix(1);
        double d = 0;
        const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), d);
        if (ec != std::errc() || ptr != text.data() + text.size())
          fail("invalid float in pickle data");
        push(Value(d));
        break;
      }
      case op::BINFLOAT: {
        const char* b = take(8);
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) bits = bits << 8 | static_cast<unsigned char>(b[i]);
        push(Value(std::bit_cast<double>(bits)));
        break;
      }

      case op::UNICODE:
        push(Value(raw_unicode_escape(line())));
        break;
      case op::SHORT_BINUNICODE: {
        const std::uint8_t n = u8();
        const std::string_view text(take(n), n);
        check_utf8(text);
        push(Value(text));
        break;
      }
      case op::BINUNICODE:
        push(read_string(u32(), true));
        break;
      case op::BINUNICODE8:
        push(read_string(u64(), true));
        break;
      case op::SHORT_BINBYTES: {
        const std::uint8_t n = u8();
        push(Value::bytes(std::string_view(take(n), n)));
        break;
      }
      case op::BINBYTES:
        push(read_string(u32(), false));
        break;
      case op::BINBYTES8:
      case op::BYTEARRAY8:
        push(read_string(u64(), false));
        break;

      case op::EMPTY_LIST:
      case op::EMPTY_TUPLE:
        push(Value::list());
        break;
      case op::EMPTY_DICT:
        push(Value::map());
        break;
      case op::LIST:
      case op::TUPLE: {
        const std::size_t first = pop_mark();
        Value list = list_from(first);
        push(std::move(list));
        break;
      }
      case op::TUPLE1:
      case op::TUPLE2:
      case op::TUPLE3: {
        const std::size_t n = code - op::TUPLE1 + 1u;
        if (stack_.size() < fence() + n) fail("unpickling stack underflow");
        Value list = list_from(stack_.size() - n);
        push(std::move(list));
        break;
      }
      case op::APPEND: {
        if (stack_.size() < fence() + 2) fail("unpickling stack underflow");
        append_items(stack_.size() - 2, stack_.size() - 1);
        break;
      }
      case op::APPENDS: {
        const std::size_t first = pop_mark();
        if (first == 0 || first <= fence()) fail("unpickling stack underflow");
        append_items(first - 1, first);
        break;
      }
      case op::DICT: {
        const std::size_t first = pop_mark();
        auto* box = new MapBox();
        Value map = TreeAccess::adopt(box);
        set_items(*box, first);
        push(std::move(map));
        break;
      }
      case op::SETITEM:
      case op::SETITEMS: {
        if (code == op::SETITEM && stack_.size() < fence() + 3) fail("unpickling stack underflow");
        const std::size_t first = code == op::SETITEM ? stack_.size() - 2 : pop_mark();
        if (first == 0 || first <= fence()) fail("unpickling stack underflow");
        Slot& target = stack_[first - 1];
        if (target.fn != Callable::None) fail("SETITEM on a global");
        set_items(building_map(target.value), first);
        break;
      }

      case op::PUT: {
        const std::int64_t index = parse_int(line());
        if (index < 0) fail("negative PUT argument");
        memo_put(static_cast<std::uint64_t>(index));
        break;
      }
      case op::BINPUT:
        memo_put(u8());
        break;
      case op::LONG_BINPUT:
        memo_put(u32());
        break;
      case op::MEMOIZE:
        memo_put(memo_.size() + sparse_memo_.size());
        break;
      case op::GET: {
        const std::int64_t index = parse_int(line());
        if (index < 0) fail("Memo value not found at index " + std::to_string(index));
        memo_get(static_cast<std::uint64_t>(index));
        break;
      }
      case op::BINGET:
        memo_get(u8());
        break;
      case op::LONG_BINGET:
        memo_get(u32());
        break;

      case op::GLOBAL: {
        const std::string module(line());
        const std::string_view name = line();
        global(module, name);
        break;
      }
      case op::STACK_GLOBAL: {
        Value name = pop_data();
        Value module = pop_data();
        if (!name.is_text() || !module.is_text()) fail("STACK_GLOBAL requires str");
        global(module.as_text(), name.as_text());
        bury(std::move(name));
        bury(std::move(module));
        break;
      }
      case op::REDUCE:
        reduce();
        break;

      default:
        unsupported(code);
    }
  }
}

}  // namespace

Value pickle_load(ByteSource& source, std::size_t max_values) {
  Reader reader(source, max_values);
  return reader.run();
}

Value pickle_load(std::string_view data) {
  MemorySource source(data);
  return pickle_load(source);
}

}  // namespace verbix
