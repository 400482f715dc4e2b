// The value tree that every record of the tool is made of: none, booleans, 64-bit integers,
// floats, texts (UTF-8), byte strings, lists and maps keyed by text. Maps keep insertion
// order, find keys by hash and erase in amortised constant time; the order of the remaining
// keys is kept.
//
// Lists and maps are shared between copies of a Value and copied on the first change
// (copy-on-write): copying a record is cheap, a file that refers to one large list from many
// places costs the memory of one list, and changing one copy never changes another. Non-const
// access to a list or map (`as_list()`, `as_map()`, `operator[]`) is a change in this sense.
//
// Equality follows Python's `==`: maps compare as key sets with equal values (order is not
// compared), lists element by element, and booleans, integers and floats by numeric value.
// Destroying or comparing a tree of any depth uses a bounded amount of native stack.
//
// Map keys are texts only (the pickle reader refuses a dict with keys of another kind, and
// the Python conversion raises TypeError). Copies sharing a payload may be used from
// different threads (the counts are atomic); one value from one thread at a time.
#pragma once

#include <atomic>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iosfwd>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <variant>
#include <vector>

namespace verbix {

class Value;
class Map;
using List = std::vector<Value>;

namespace detail {

// The shared payload of a list or map: a reference count (copies of a Value share one
// payload until one of them is changed) and the bookkeeping of the pickle reader.
struct Box {
  enum class Of : std::uint8_t { List, Map };
  explicit Box(Of kind) noexcept : of(kind) {}
  std::atomic<std::uint32_t> refs{1};
  // Reader bookkeeping: the size of the tree below once every shared payload is counted
  // as often as it is referred to, and the levels of lists and maps, counting this one.
  std::uint32_t weight = 1;
  std::uint16_t height = 1;
  Of of;
};

// Drops one reference; the last one destroys the payload, with bounded native recursion.
void release_box(Box* box) noexcept;

// An owning reference to a payload of type B.
template <class B>
class BoxRef {
 public:
  explicit BoxRef(Box* adopted) noexcept : p_(adopted) {}
  BoxRef(const BoxRef& o) noexcept : p_(o.p_) {
    if (p_) p_->refs.fetch_add(1, std::memory_order_relaxed);
  }
  BoxRef(BoxRef&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  BoxRef& operator=(BoxRef o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~BoxRef() {
    if (p_) release_box(p_);
  }
  B* get() const noexcept { return static_cast<B*>(p_); }
  Box* box() const noexcept { return p_; }

 private:
  Box* p_;
};

struct ListBox;
struct MapBox;
struct TreeAccess;

}  // namespace detail

class Value {
 public:
  enum class Kind : std::uint8_t { None, Bool, Int, Float, Text, Bytes, List, Map };

  Value() noexcept = default;  // none
  Value(std::nullptr_t) noexcept {}
  Value(bool b) noexcept : data_(b) {}
  template <std::integral T>
  requires(!std::same_as<T, bool>) Value(T i)
  noexcept : data_(static_cast<std::int64_t>(i)) {}
  Value(double f) noexcept : data_(f) {}
  Value(std::string text) : data_(Text{std::move(text)}) {}
  Value(std::string_view text) : data_(Text{std::string(text)}) {}
  Value(const char* text) : data_(Text{std::string(text)}) {}
  Value(List list);
  Value(Map map);

  // A byte string (texts and byte strings are different kinds).
  static Value bytes(std::string data) {
    Value v;
    v.data_ = Bytes{std::move(data)};
    return v;
  }
  // An empty list and an empty map.
  static Value list();
  static Value map();

  Value(const Value&) = default;
  Value(Value&& other) noexcept : data_(std::move(other.data_)) { other.data_ = std::monostate{}; }
  Value& operator=(const Value& other);
  Value& operator=(Value&& other) noexcept;
  ~Value() = default;

  Kind kind() const noexcept { return static_cast<Kind>(data_.index()); }
  bool is_none() const noexcept { return kind() == Kind::None; }
  bool is_bool() const noexcept { return kind() == Kind::Bool; }
  bool is_int() const noexcept { return kind() == Kind::Int; }
  bool is_float() const noexcept { return kind() == Kind::Float; }
  bool is_text() const noexcept { return kind() == Kind::Text; }
  bool is_bytes() const noexcept { return kind() == Kind::Bytes; }
  bool is_list() const noexcept { return kind() == Kind::List; }
  bool is_map() const noexcept { return kind() == Kind::Map; }

  // Python's name of the kind: "NoneType", "bool", "int", "float", "str", "bytes", "list",
  // "dict".
  const char* type_name() const noexcept;

  // The payload. Each throws DataError ("expected str, got int") when the kind differs.
  bool as_bool() const;
  std::int64_t as_int() const;
  double as_float() const;
  const std::string& as_text() const;
  const std::string& as_bytes() const;
  const List& as_list() const;
  const Map& as_map() const;
  // Writable access: unshares the list or map first when another copy holds it.
  List& as_list();
  Map& as_map();

  // Map shortcuts. `find` returns null when the key is missing or this is not a map.
  const Value* find(std::string_view key) const;
  Value* find(std::string_view key);
  // The value under `key`, inserted as none at the end when missing (a map only).
  Value& operator[](std::string_view key);
  // The value under `key`; throws DataError when it is missing.
  const Value& operator[](std::string_view key) const;
  // List elements by position (no range check beyond the list's own).
  Value& operator[](std::size_t i);
  const Value& operator[](std::size_t i) const;
  // Elements of a list or map, bytes of a text or byte string; 0 for other kinds.
  std::size_t size() const noexcept;

  friend bool operator==(const Value& a, const Value& b);

 private:
  friend struct detail::TreeAccess;
  struct Text {
    std::string s;
  };
  struct Bytes {
    std::string s;
  };
  using ListRef = detail::BoxRef<detail::ListBox>;
  using MapRef = detail::BoxRef<detail::MapBox>;
  using Data =
      std::variant<std::monostate, bool, std::int64_t, double, Text, Bytes, ListRef, MapRef>;

  [[noreturn]] void wrong_kind(Kind wanted) const;

  Data data_;
};

// A Python-style representation for messages and test output: 'text', b'bytes', [..], {..}.
std::string repr(const Value& v);
std::ostream& operator<<(std::ostream& os, const Value& v);

// A list of the values, moved in (a braced list would copy each one).
template <class... Items>
Value list_value(Items&&... items) {
  List list;
  list.reserve(sizeof...(items));
  (list.emplace_back(std::forward<Items>(items)), ...);
  return Value(std::move(list));
}

// One entry of a map. Structured bindings give the key read-only and the value writable:
// `for (auto& [key, value] : map)`.
class MapEntry {
 public:
  MapEntry(std::string&& key, Value&& value) noexcept
      : key_(std::move(key)), value(std::move(value)) {}
  const std::string& key() const noexcept { return key_; }

  template <std::size_t I>
  decltype(auto) get() const {
    if constexpr (I == 0)
      return (key_);
    else
      return (value);
  }
  template <std::size_t I>
  decltype(auto) get() {
    if constexpr (I == 0)
      return static_cast<const std::string&>(key_);
    else
      return (value);
  }

 private:
  friend class Map;
  std::string key_;

 public:
  Value value;
};

// The insertion-ordered map of the tree. Lookups hash the key once small maps (up to 8 keys,
// searched directly) grow past that size; erasing leaves a tombstone that a later compaction
// removes, so erasing is amortised O(1) and keeps the order of the other keys.
class Map {
 public:
  using Entry = MapEntry;

  template <bool Const>
  class Iter {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = MapEntry;
    using difference_type = std::ptrdiff_t;
    using reference = std::conditional_t<Const, const MapEntry&, MapEntry&>;
    using pointer = std::conditional_t<Const, const MapEntry*, MapEntry*>;
    using MapPtr = std::conditional_t<Const, const Map*, Map*>;

    Iter() = default;
    Iter(MapPtr map, std::size_t i) : map_(map), i_(i) { skip(); }
    // A const_iterator from an iterator.
    template <bool C = Const>
    requires C Iter(const Iter<false>& o) : map_(o.map_), i_(o.i_) {}

    reference operator*() const { return map_->entries_[i_]; }
    pointer operator->() const { return &map_->entries_[i_]; }
    Iter& operator++() {
      ++i_;
      skip();
      return *this;
    }
    Iter operator++(int) {
      Iter old = *this;
      ++*this;
      return old;
    }
    bool operator==(const Iter& o) const { return i_ == o.i_; }

   private:
    void skip() {
      while (i_ < map_->entries_.size() && map_->is_dead(i_)) ++i_;
    }
    friend class Iter<!Const>;
    MapPtr map_ = nullptr;
    std::size_t i_ = 0;
  };
  using iterator = Iter<false>;
  using const_iterator = Iter<true>;

  Map() = default;
  Map(std::initializer_list<std::pair<std::string_view, Value>> items);

  std::size_t size() const noexcept { return entries_.size() - dead_count(); }
  bool empty() const noexcept { return size() == 0; }

  // The value under `key`, or null when it is missing.
  const Value* find(std::string_view key) const;
  Value* find(std::string_view key);
  bool contains(std::string_view key) const { return find(key) != nullptr; }
  // The value under `key`; throws DataError ("no key 'x'") when it is missing.
  const Value& at(std::string_view key) const;
  Value& at(std::string_view key);
  // The value under `key`, inserted as none at the end when missing.
  Value& operator[](std::string_view key);
  // Replaces the value under `key` where it stands, or appends the entry. True when appended.
  bool set(std::string key, Value value);
  // Appends the entry when the key is missing (taking both arguments) and returns its value
  // and true; otherwise returns the present value and false, and takes nothing.
  std::pair<Value*, bool> try_emplace(std::string&& key, Value&& value);
  // Removes the key; the others keep their order. False when it was missing.
  bool erase(std::string_view key);
  void clear() noexcept;
  void reserve(std::size_t n);

  iterator begin() { return iterator(this, 0); }
  iterator end() { return iterator(this, entries_.size()); }
  const_iterator begin() const { return const_iterator(this, 0); }
  const_iterator end() const { return const_iterator(this, entries_.size()); }

  // Whether both maps hold the same set of keys, in any order.
  bool same_keys(const Map& other) const;

  // Python's dict equality: the same keys with equal values, order not compared.
  friend bool operator==(const Map& a, const Map& b);

 private:
  static constexpr std::size_t kLinearMax = 8;

  // The hash index of a map past kLinearMax keys. Each slot holds the entry's position + 2
  // in its low half (0 free, 1 erased) and the key's hash in its high half.
  struct Index {
    std::vector<std::uint64_t> slots;
    std::size_t used = 0;    // occupied or erased slots
    std::vector<bool> dead;  // erased entries; empty until the first erase
    std::size_t dead_count = 0;
  };

  bool is_dead(std::size_t i) const { return index_ && !index_->dead.empty() && index_->dead[i]; }
  std::size_t dead_count() const { return index_ ? index_->dead_count : 0; }
  // Position of the key in entries_, or npos.
  std::size_t locate(std::string_view key, std::uint32_t tag) const;
  void append(std::string&& key, Value&& value, std::uint32_t tag);
  void rebuild_index(std::size_t expected);
  void insert_slot(std::size_t entry, std::uint64_t tag);
  void compact();

  std::vector<MapEntry> entries_;
  std::unique_ptr<Index> index_;  // null while the map is small

 public:
  Map(const Map& other);
  Map& operator=(const Map& other);
  Map(Map&&) noexcept = default;
  Map& operator=(Map&&) noexcept = default;
  ~Map() = default;
};

namespace detail {

struct ListBox : Box {
  List items;
  ListBox() noexcept : Box(Of::List) {}
  explicit ListBox(List l) noexcept : Box(Of::List), items(std::move(l)) {}
  ListBox(const ListBox& o) : Box(Of::List), items(o.items) {
    weight = o.weight;
    height = o.height;
  }
};

struct MapBox : Box {
  Map map;
  MapBox() noexcept : Box(Of::Map) {}
  explicit MapBox(Map m) noexcept : Box(Of::Map), map(std::move(m)) {}
  MapBox(const MapBox& o) : Box(Of::Map), map(o.map) {
    weight = o.weight;
    height = o.height;
  }
};

// Direct access to the payloads, for the codecs and the Python conversion, which must see
// sharing and build trees without copy-on-write.
struct TreeAccess {
  // The payload of a list or map (null for other kinds).
  static ListBox* list_box(const Value& v) {
    auto* r = std::get_if<Value::ListRef>(&v.data_);
    return r ? r->get() : nullptr;
  }
  static MapBox* map_box(const Value& v) {
    auto* r = std::get_if<Value::MapRef>(&v.data_);
    return r ? r->get() : nullptr;
  }
  static Box* box(const Value& v) {
    if (auto* r = std::get_if<Value::ListRef>(&v.data_)) return r->box();
    if (auto* r = std::get_if<Value::MapRef>(&v.data_)) return r->box();
    return nullptr;
  }
  // How many values share the list's or map's payload; 0 for other kinds.
  static std::uint32_t share_count(const Value& v) {
    Box* b = box(v);
    return b ? b->refs.load(std::memory_order_relaxed) : 0;
  }
  // A value holding a new payload (taking over its one reference).
  static Value adopt(ListBox* box);
  static Value adopt(MapBox* box);
  // A value sharing an existing payload.
  static Value share(Box* box);
  // The text or byte string of the value, moved out.
  static std::string take_string(Value& v);
  // The text or byte string of the value itself (it must be one).
  static std::string& string_ref(Value& v);
};

}  // namespace detail

}  // namespace verbix

template <>
struct std::tuple_size<verbix::MapEntry> : std::integral_constant<std::size_t, 2> {};
template <>
struct std::tuple_element<0, verbix::MapEntry> {
  using type = const std::string;
};
template <>
struct std::tuple_element<1, verbix::MapEntry> {
  using type = verbix::Value;
};
