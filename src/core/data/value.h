// The value tree that every record of the tool is made of: none, booleans, 64-bit integers,
// floats, texts (UTF-8), byte strings, lists and maps keyed by text. Maps keep insertion
// order, find keys by hash and erase in amortised constant time; the order of the remaining
// keys is kept.
//
// Lists and maps are shared between copies of a Value and copied on the first change
// (copy-on-write): copying a record is cheap, a file that refers to one large list from many
// places costs the memory of one list, and changing one copy never changes another. Non-const
// access to a list or map (`as_list()`, `as_map()`, `operator[]`) is a change in this sense.
// A Value is 16 bytes; texts and byte strings of up to 14 bytes sit inside it, longer ones
// in a block that copies share (texts never change, they are replaced).
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
#include <vector>

#include "data/tree_pool.h"

namespace verbix {

class Value;
class Map;
// Its elements live in the tree's pool (see tree_pool.h).
using List = std::vector<Value, detail::PoolAllocator<Value>>;

namespace detail {

// The shared payload of a list or map: a reference count (copies of a Value share one
// payload until one of them is changed) and the bookkeeping of the pickle reader.
struct Box {
  enum class Of : std::uint8_t { List, Map };
  explicit Box(Of kind) noexcept : of(kind) {}
  // Payloads live in the tree's pool; deleting one through its own type gives its size back.
  static void* operator new(std::size_t size) { return pool_allocate(size); }
  static void operator delete(void* p, std::size_t size) noexcept { pool_free(p, size); }
  std::atomic<std::uint32_t> refs{1};
  // Reader bookkeeping: the size of the tree below once every shared payload is counted
  // as often as it is referred to, and the levels of lists and maps, counting this one.
  std::uint32_t weight = 1;
  std::uint16_t height = 1;
  Of of;
};

// Drops one reference; the last one destroys the payload, with bounded native recursion.
void release_box(Box* box) noexcept;

// The characters of a text or byte string too long to sit inside its Value: one block,
// shared by the copies of the Value (texts never change once made) and freed with the last.
struct TextBlock {
  std::atomic<std::uint32_t> refs{1};
  std::size_t size = 0;  // fixed once made: the block is given back to the pool by it
  char* chars() noexcept { return reinterpret_cast<char*>(this + 1); }
  const char* chars() const noexcept { return reinterpret_cast<const char*>(this + 1); }
  // A new block holding a copy of `s`, with one reference. Throws std::bad_alloc.
  static TextBlock* make(std::string_view s);
  // A new block of `size` bytes not yet written, with one reference. Throws std::bad_alloc.
  static TextBlock* allocate(std::size_t size);
};

// Drops one reference; the last one frees the block.
void release_text(TextBlock* block) noexcept;

struct ListBox;
struct MapBox;
struct TreeAccess;

}  // namespace detail

// One value of the tree in 16 bytes: the kind, then the payload. Numbers sit in it; a text
// or byte string of up to 14 bytes sits in it as well, a longer one in a shared TextBlock;
// lists and maps in a shared Box.
class Value {
 public:
  enum class Kind : std::uint8_t { None, Bool, Int, Float, Text, Bytes, List, Map };

  Value() noexcept : rep_(none_rep()) {}  // none
  Value(std::nullptr_t) noexcept : Value() {}
  Value(bool b) noexcept : Value() {
    rep_.wide.kind = Kind::Bool;
    rep_.wide.b = b;
  }
  template <std::integral T>
  requires(!std::same_as<T, bool>) Value(T i)
  noexcept : Value() {
    rep_.wide.kind = Kind::Int;
    rep_.wide.i = static_cast<std::int64_t>(i);
  }
  Value(double f) noexcept : Value() {
    rep_.wide.kind = Kind::Float;
    rep_.wide.f = f;
  }
  Value(std::string_view text) : Value() { set_string(Kind::Text, text); }
  Value(const std::string& text) : Value(std::string_view(text)) {}
  Value(const char* text) : Value(std::string_view(text)) {}
  Value(List list);
  Value(Map map);

  // A byte string (texts and byte strings are different kinds).
  static Value bytes(std::string_view data) {
    Value v;
    v.set_string(Kind::Bytes, data);
    return v;
  }
  // An empty list and an empty map.
  static Value list();
  static Value map();

  Value(const Value& other) noexcept : rep_(other.rep_) { retain(); }
  Value(Value&& other) noexcept : rep_(other.rep_) { other.rep_ = none_rep(); }
  // `other` may live inside this value's payload: it is copied or moved out before the
  // payload goes.
  Value& operator=(const Value& other) noexcept {
    Value copy(other);
    std::swap(rep_, copy.rep_);
    return *this;
  }
  Value& operator=(Value&& other) noexcept {
    Value taken(std::move(other));
    std::swap(rep_, taken.rep_);
    return *this;
  }
  ~Value() { release(); }

  Kind kind() const noexcept { return rep_.wide.kind; }
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

  // The payload. Each throws DataError ("expected str, got int") when the kind differs. A
  // text's or byte string's characters stay where they are while the value (or a copy of it)
  // lives and is not assigned to, except that a short one moves with the value itself.
  bool as_bool() const;
  std::int64_t as_int() const;
  double as_float() const;
  std::string_view as_text() const;
  std::string_view as_bytes() const;
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
  static constexpr std::uint8_t kInShared = 0xFF;  // `len` of a string held in a TextBlock
  static constexpr std::size_t kInlineMax = 14;

  // A short text or byte string: its bytes follow the kind and the length.
  struct Small {
    Kind kind;
    std::uint8_t len;
    char chars[kInlineMax];
  };
  // Every other kind: the number, or the pointer to the shared payload.
  struct Wide {
    Kind kind;
    std::uint8_t len;
    union {
      std::int64_t i;
      bool b;
      double f;
      detail::Box* box;
      detail::TextBlock* block;
    };
  };
  union Rep {
    Small small;
    Wide wide;
  };
  static constexpr Rep none_rep() noexcept { return Rep{.wide = {Kind::None, 0, {0}}}; }

  bool in_block() const noexcept {
    return (kind() == Kind::Text || kind() == Kind::Bytes) && rep_.wide.len == kInShared;
  }
  std::string_view chars() const noexcept {
    return in_block() ? std::string_view(rep_.wide.block->chars(), rep_.wide.block->size)
                      : std::string_view(rep_.small.chars, rep_.small.len);
  }
  void set_string(Kind kind, std::string_view s);
  void retain() const noexcept {
    if (kind() == Kind::List || kind() == Kind::Map)
      rep_.wide.box->refs.fetch_add(1, std::memory_order_relaxed);
    else if (in_block())
      rep_.wide.block->refs.fetch_add(1, std::memory_order_relaxed);
  }
  void release() noexcept {
    if (kind() == Kind::List || kind() == Kind::Map)
      detail::release_box(rep_.wide.box);
    else if (in_block())
      detail::release_text(rep_.wide.block);
  }
  [[noreturn]] void wrong_kind(Kind wanted) const;

  Rep rep_;
};

static_assert(sizeof(Value) == 16);

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
    static void* operator new(std::size_t size) { return detail::pool_allocate(size); }
    static void operator delete(void* p, std::size_t size) noexcept { detail::pool_free(p, size); }
    using Slots = std::vector<std::uint64_t, detail::PoolAllocator<std::uint64_t>>;
    Slots slots;
    std::size_t used = 0;    // occupied or erased slots
    std::vector<bool> dead;  // erased entries; empty until the first erase
    std::size_t dead_count = 0;
    // The position of the last key found. Large maps are mostly read in the order they
    // were written (a record's tables side by side, a table against its own copy), and a
    // key is often asked for twice in a row, so the next key asked for is often there or
    // just after it: one comparison instead of a hash and two cache misses. Atomic because
    // copies on other threads may read the same map.
    mutable std::atomic<std::uint32_t> last{0};

    Index() = default;
    Index(const Index& o) : slots(o.slots), used(o.used), dead(o.dead), dead_count(o.dead_count) {}
  };

  bool is_dead(std::size_t i) const { return index_ && !index_->dead.empty() && index_->dead[i]; }
  std::size_t dead_count() const { return index_ ? index_->dead_count : 0; }
  // Position of the key in entries_, or npos.
  std::size_t locate(std::string_view key, std::uint32_t tag) const;
  // The same, trying the positions just after and at the last key found first.
  std::size_t locate_next(std::string_view key) const;
  void append(std::string&& key, Value&& value, std::uint32_t tag);
  void rebuild_index(std::size_t expected);
  void insert_slot(std::size_t entry, std::uint64_t tag);
  void compact();

  std::vector<MapEntry, detail::PoolAllocator<MapEntry>> entries_;
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
    return v.is_list() ? static_cast<ListBox*>(v.rep_.wide.box) : nullptr;
  }
  static MapBox* map_box(const Value& v) {
    return v.is_map() ? static_cast<MapBox*>(v.rep_.wide.box) : nullptr;
  }
  static Box* box(const Value& v) { return v.is_list() || v.is_map() ? v.rep_.wide.box : nullptr; }
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
  // The block of a long text or byte string (null for a short one and other kinds).
  static TextBlock* text_block(const Value& v) {
    return v.in_block() ? v.rep_.wide.block : nullptr;
  }
  // A text (or byte string) sharing an existing block.
  static Value share(TextBlock* block, bool text);
  // A text (or byte string) holding a new block (taking over its one reference).
  static Value adopt(TextBlock* block, bool text);
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
