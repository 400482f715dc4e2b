#include "data/value.h"

#include <cmath>
#include <functional>
#include <ostream>
#include <stdexcept>

#include "text/py_float.h"
#include "text/text_repr.h"
#include "utils/data_error.h"

namespace verbix {

using detail::Box;
using detail::ListBox;
using detail::MapBox;

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

}  // namespace detail

Value::Value(List list) : data_(ListRef(new ListBox(std::move(list)))) {}
Value::Value(Map map) : data_(MapRef(new MapBox(std::move(map)))) {}

Value Value::list() { return Value(List{}); }
Value Value::map() { return Value(Map{}); }

// `other` may live inside this value's payload: it is copied or moved out before the
// payload goes. Without a payload of lists or maps here, it cannot.
Value& Value::operator=(const Value& other) {
  if (this == &other) return *this;
  if (!is_list() && !is_map()) {
    data_ = other.data_;
  } else {
    Value copy(other);
    data_ = std::move(copy.data_);
  }
  return *this;
}

Value& Value::operator=(Value&& other) noexcept {
  if (this == &other) return *this;
  if (!is_list() && !is_map()) {
    data_ = std::move(other.data_);
    other.data_ = std::monostate{};
  } else {
    Value taken(std::move(other));
    data_ = std::move(taken.data_);
  }
  return *this;
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
  if (auto* b = std::get_if<bool>(&data_)) return *b;
  wrong_kind(Kind::Bool);
}

std::int64_t Value::as_int() const {
  if (auto* i = std::get_if<std::int64_t>(&data_)) return *i;
  wrong_kind(Kind::Int);
}

double Value::as_float() const {
  if (auto* f = std::get_if<double>(&data_)) return *f;
  wrong_kind(Kind::Float);
}

const std::string& Value::as_text() const {
  if (auto* t = std::get_if<Text>(&data_)) return t->s;
  wrong_kind(Kind::Text);
}

const std::string& Value::as_bytes() const {
  if (auto* b = std::get_if<Bytes>(&data_)) return b->s;
  wrong_kind(Kind::Bytes);
}

const List& Value::as_list() const {
  if (auto* l = std::get_if<ListRef>(&data_)) return l->get()->items;
  wrong_kind(Kind::List);
}

const Map& Value::as_map() const {
  if (auto* m = std::get_if<MapRef>(&data_)) return m->get()->map;
  wrong_kind(Kind::Map);
}

List& Value::as_list() {
  auto* l = std::get_if<ListRef>(&data_);
  if (!l) wrong_kind(Kind::List);
  if (l->box()->refs.load(std::memory_order_acquire) > 1) *l = ListRef(new ListBox(*l->get()));
  return l->get()->items;
}

Map& Value::as_map() {
  auto* m = std::get_if<MapRef>(&data_);
  if (!m) wrong_kind(Kind::Map);
  if (m->box()->refs.load(std::memory_order_acquire) > 1) *m = MapRef(new MapBox(*m->get()));
  return m->get()->map;
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
      return as_text().size();
    case Kind::Bytes:
      return as_bytes().size();
    case Kind::List:
      return std::get<ListRef>(data_).get()->items.size();
    case Kind::Map:
      return std::get<MapRef>(data_).get()->map.size();
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
  v.data_ = Value::ListRef(box);
  return v;
}

Value TreeAccess::adopt(MapBox* box) {
  Value v;
  v.data_ = Value::MapRef(box);
  return v;
}

Value TreeAccess::share(Box* box) {
  box->refs.fetch_add(1, std::memory_order_relaxed);
  return box->of == Box::Of::List ? adopt(static_cast<ListBox*>(box))
                                  : adopt(static_cast<MapBox*>(box));
}

std::string& TreeAccess::string_ref(Value& v) {
  if (auto* t = std::get_if<Value::Text>(&v.data_)) return t->s;
  return std::get<Value::Bytes>(v.data_).s;
}

std::string TreeAccess::take_string(Value& v) {
  if (auto* t = std::get_if<Value::Text>(&v.data_)) return std::move(t->s);
  if (auto* b = std::get_if<Value::Bytes>(&v.data_)) return std::move(b->s);
  return {};
}

}  // namespace detail

}  // namespace verbix
