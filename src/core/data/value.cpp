#include "data/value.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <new>
#include <ostream>
#include <stdexcept>

#include "text/py_float.h"
#include "text/text_repr.h"
#include "utils/data_error.h"

namespace verbix {

using detail::Box;
using detail::ListBox;
using detail::MapBox;
using detail::TextBlock;

// ---------------------------------------------------------------------------------------
// Lifetime

namespace detail {
namespace {

// Destroying a payload destroys its children, which may destroy theirs: native recursion as
// deep as the tree. Past kDropDepth levels a payload is handed to the outermost release
// instead, which destroys it from a loop.
constexpr int kDropDepth = 128;
thread_local int t_drop_depth = 0;
thread_local std::vector<Box*>* t_drop_later = nullptr;

void destroy(Box* box) noexcept {
  if (box->of == Box::Of::List)
    delete static_cast<ListBox*>(box);
  else
    delete static_cast<MapBox*>(box);
}

}  // namespace

void release_box(Box* box) noexcept {
  // The only holder needs no atomic decrement: no other thread can reach the payload to add
  // a reference. Most payloads of a tree being destroyed have one holder.
  if (box->refs.load(std::memory_order_acquire) != 1 &&
      box->refs.fetch_sub(1, std::memory_order_acq_rel) != 1)
    return;
  if (t_drop_depth == 0) {
    std::vector<Box*> later;
    t_drop_later = &later;
    t_drop_depth = 1;
    destroy(box);
    while (!later.empty()) {
      Box* next = later.back();
      later.pop_back();
      destroy(next);
    }
    t_drop_later = nullptr;
    t_drop_depth = 0;
  } else if (t_drop_depth < kDropDepth) {
    ++t_drop_depth;
    destroy(box);
    --t_drop_depth;
  } else {
    try {
      t_drop_later->push_back(box);
    } catch (...) {
      destroy(box);  // out of memory: destroy in place rather than leak
    }
  }
}

TextBlock* TextBlock::allocate(std::size_t size) {
  void* raw = pool_allocate(sizeof(TextBlock) + size);
  auto* block = new (raw) TextBlock();
  block->size = size;
  return block;
}

TextBlock* TextBlock::make(std::string_view s) {
  TextBlock* block = allocate(s.size());
  if (!s.empty()) std::memcpy(block->chars(), s.data(), s.size());
  return block;
}

void release_text(TextBlock* block) noexcept {
  if (block->refs.load(std::memory_order_acquire) != 1 &&
      block->refs.fetch_sub(1, std::memory_order_acq_rel) != 1)
    return;
  const std::size_t bytes = sizeof(TextBlock) + block->size;
  block->~TextBlock();
  pool_free(block, bytes);
}

}  // namespace detail

Value::Value(List list) : Value() {
  rep_.wide.box = new ListBox(std::move(list));
  rep_.wide.kind = Kind::List;
}

Value::Value(Map map) : Value() {
  rep_.wide.box = new MapBox(std::move(map));
  rep_.wide.kind = Kind::Map;
}

Value Value::list() { return Value(List{}); }
Value Value::map() { return Value(Map{}); }

void Value::set_string(Kind kind, std::string_view s) {
  if (s.size() <= kInlineMax) {
    rep_.small.kind = kind;
    rep_.small.len = static_cast<std::uint8_t>(s.size());
    if (!s.empty()) std::memcpy(rep_.small.chars, s.data(), s.size());
  } else {
    rep_.wide.block = TextBlock::make(s);
    rep_.wide.kind = kind;
    rep_.wide.len = kInShared;
  }
}

// ---------------------------------------------------------------------------------------
// Access

namespace {

const char* kind_name(Value::Kind k) {
  switch (k) {
    case Value::Kind::None:
      return "NoneType";
    case Value::Kind::Bool:
      return "bool";
    case Value::Kind::Int:
      return "int";
    case Value::Kind::Float:
      return "float";
    case Value::Kind::Text:
      return "str";
    case Value::Kind::Bytes:
      return "bytes";
    case Value::Kind::List:
      return "list";
    case Value::Kind::Map:
      return "dict";
  }
  return "?";
}

}  // namespace

const char* Value::type_name() const noexcept { return kind_name(kind()); }

void Value::wrong_kind(Kind wanted) const {
  throw DataError(std::string("expected ") + kind_name(wanted) + ", got " + type_name());
}

bool Value::as_bool() const {
  if (kind() == Kind::Bool) return rep_.wide.b;
  wrong_kind(Kind::Bool);
}

std::int64_t Value::as_int() const {
  if (kind() == Kind::Int) return rep_.wide.i;
  wrong_kind(Kind::Int);
}

double Value::as_float() const {
  if (kind() == Kind::Float) return rep_.wide.f;
  wrong_kind(Kind::Float);
}

std::string_view Value::as_text() const {
  if (kind() == Kind::Text) return chars();
  wrong_kind(Kind::Text);
}

std::string_view Value::as_bytes() const {
  if (kind() == Kind::Bytes) return chars();
  wrong_kind(Kind::Bytes);
}

const List& Value::as_list() const {
  if (kind() == Kind::List) return static_cast<ListBox*>(rep_.wide.box)->items;
  wrong_kind(Kind::List);
}

const Map& Value::as_map() const {
  if (kind() == Kind::Map) return static_cast<MapBox*>(rep_.wide.box)->map;
  wrong_kind(Kind::Map);
}

List& Value::as_list() {
  if (kind() != Kind::List) wrong_kind(Kind::List);
  auto* box = static_cast<ListBox*>(rep_.wide.box);
  if (box->refs.load(std::memory_order_acquire) > 1) {
    rep_.wide.box = new ListBox(*box);
    detail::release_box(box);
  }
  return static_cast<ListBox*>(rep_.wide.box)->items;
}

Map& Value::as_map() {
  if (kind() != Kind::Map) wrong_kind(Kind::Map);
  auto* box = static_cast<MapBox*>(rep_.wide.box);
  if (box->refs.load(std::memory_order_acquire) > 1) {
    rep_.wide.box = new MapBox(*box);
    detail::release_box(box);
  }
  return static_cast<MapBox*>(rep_.wide.box)->map;
}

const Value* Value::find(std::string_view key) const {
  return is_map() ? as_map().find(key) : nullptr;
}

Value* Value::find(std::string_view key) {
  if (!is_map()) return nullptr;
  // Look first, so that a miss does not unshare the map.
  if (!std::as_const(*this).find(key)) return nullptr;
  return as_map().find(key);
}

Value& Value::operator[](std::string_view key) { return as_map()[key]; }
const Value& Value::operator[](std::string_view key) const { return as_map().at(key); }
Value& Value::operator[](std::size_t i) { return as_list()[i]; }
const Value& Value::operator[](std::size_t i) const { return as_list()[i]; }

std::size_t Value::size() const noexcept {
  switch (kind()) {
    case Kind::Text:
    case Kind::Bytes:
      return chars().size();
    case Kind::List:
      return static_cast<ListBox*>(rep_.wide.box)->items.size();
    case Kind::Map:
      return static_cast<MapBox*>(rep_.wide.box)->map.size();
    default:
      return 0;
  }
}

// ---------------------------------------------------------------------------------------
// Equality

namespace {

using Pair = std::pair<const Value*, const Value*>;

bool is_number(const Value& v) { return v.is_bool() || v.is_int() || v.is_float(); }

bool numbers_equal(const Value& a, const Value& b) {
  auto as_int = [](const Value& v) { return v.is_bool() ? std::int64_t{v.as_bool()} : v.as_int(); };
  if (!a.is_float() && !b.is_float()) return as_int(a) == as_int(b);
  if (a.is_float() && b.is_float()) return a.as_float() == b.as_float();
  const double d = a.is_float() ? a.as_float() : b.as_float();
  const std::int64_t i = a.is_float() ? as_int(b) : as_int(a);
  // Python compares an int with a float exactly, not after rounding the int.
  if (!std::isfinite(d) || d != std::floor(d) || d < -9223372036854775808.0 ||
      d >= 9223372036854775808.0)
    return false;
  return static_cast<std::int64_t>(d) == i;
}

// Compares everything but the children, which it queues.
bool shallow_equal(const Value& a, const Value& b, std::vector<Pair>& children) {
  if (is_number(a) && is_number(b)) return numbers_equal(a, b);
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case Value::Kind::None:
      return true;
    case Value::Kind::Text:
      return a.as_text() == b.as_text();
    case Value::Kind::Bytes:
      return a.as_bytes() == b.as_bytes();
    case Value::Kind::List: {
      if (detail::TreeAccess::box(a) == detail::TreeAccess::box(b)) return true;
      const List& x = a.as_list();
      const List& y = b.as_list();
      if (x.size() != y.size()) return false;
      for (std::size_t i = 0; i < x.size(); ++i) children.emplace_back(&x[i], &y[i]);
      return true;
    }
    case Value::Kind::Map: {
      if (detail::TreeAccess::box(a) == detail::TreeAccess::box(b)) return true;
      const Map& x = a.as_map();
      const Map& y = b.as_map();
      if (x.size() != y.size()) return false;
      for (const auto& [key, value] : x) {
        const Value* other = y.find(key);
        if (!other) return false;
        children.emplace_back(&value, other);
      }
      return true;
    }
    default:
      return false;
  }
}

bool trees_equal(const Value& a, const Value& b) {
  std::vector<Pair> work;
  if (!shallow_equal(a, b, work)) return false;
  while (!work.empty()) {
    const Pair next = work.back();
    work.pop_back();
    if (!shallow_equal(*next.first, *next.second, work)) return false;
  }
  return true;
}

}  // namespace

bool operator==(const Value& a, const Value& b) { return trees_equal(a, b); }

bool operator==(const Map& a, const Map& b) {
  if (&a == &b) return true;
  if (a.size() != b.size()) return false;
  for (const auto& [key, value] : a) {
    const Value* other = b.find(key);
    if (!other || !trees_equal(value, *other)) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------
// Representation

namespace {

void repr_into(std::string& out, const Value& v, int depth) {
  if (depth > 64) {
    out += "...";
    return;
  }
  switch (v.kind()) {
    case Value::Kind::None:
      out += "None";
      break;
    case Value::Kind::Bool:
      out += v.as_bool() ? "True" : "False";
      break;
    case Value::Kind::Int:
      out += std::to_string(v.as_int());
      break;
    case Value::Kind::Float:
      append_py_float(out, v.as_float());
      break;
    case Value::Kind::Text:
      append_py_repr(out, v.as_text());
      break;
    case Value::Kind::Bytes:
      append_py_bytes_repr(out, v.as_bytes());
      break;
    case Value::Kind::List: {
      out += '[';
      bool first = true;
      for (const Value& item : v.as_list()) {
        if (!first) out += ", ";
        first = false;
        repr_into(out, item, depth + 1);
      }
      out += ']';
      break;
    }
    case Value::Kind::Map: {
      out += '{';
      bool first = true;
      for (const auto& [key, item] : v.as_map()) {
        if (!first) out += ", ";
        first = false;
        append_py_repr(out, key);
        out += ": ";
        repr_into(out, item, depth + 1);
      }
      out += '}';
      break;
    }
  }
}

}  // namespace

std::string repr(const Value& v) {
  std::string out;
  repr_into(out, v, 0);
  return out;
}

std::ostream& operator<<(std::ostream& os, const Value& v) { return os << repr(v); }

// ---------------------------------------------------------------------------------------
// Payload access

namespace detail {

Value TreeAccess::adopt(ListBox* box) {
  Value v;
  v.rep_.wide.box = box;
  v.rep_.wide.kind = Value::Kind::List;
  return v;
}

Value TreeAccess::adopt(MapBox* box) {
  Value v;
  v.rep_.wide.box = box;
  v.rep_.wide.kind = Value::Kind::Map;
  return v;
}

Value TreeAccess::share(Box* box) {
  box->refs.fetch_add(1, std::memory_order_relaxed);
  return box->of == Box::Of::List ? adopt(static_cast<ListBox*>(box))
                                  : adopt(static_cast<MapBox*>(box));
}

Value TreeAccess::share(TextBlock* block, bool text) {
  block->refs.fetch_add(1, std::memory_order_relaxed);
  return adopt(block, text);
}

Value TreeAccess::adopt(TextBlock* block, bool text) {
  Value v;
  v.rep_.wide.block = block;
  v.rep_.wide.kind = text ? Value::Kind::Text : Value::Kind::Bytes;
  v.rep_.wide.len = Value::kInShared;
  return v;
}

}  // namespace detail

}  // namespace verbix
