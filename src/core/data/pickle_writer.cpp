// The pickle writer: a value tree as a protocol 4 stream in frames, as CPython's pickle.dumps
// writes it, with a list or map that occurs twice written once and referred to by the memo.
#include <cstring>
#include <string>
#include <vector>

#include "data/pickle.h"
#include "data/pickle_opcodes.h"
#include "data/pointer_map.h"
#include "utils/data_error.h"

namespace verbix {
namespace {

namespace op = pickle_op;
using detail::TreeAccess;

constexpr std::size_t kFrameTarget = 64 * 1024;  // CPython's frame size
constexpr std::size_t kFrameHeader = 9;
constexpr std::size_t kFrameMin = 4;  // shorter frames are written without a header
constexpr std::size_t kBatch = 1000;

class Writer {
 public:
  explicit Writer(ByteSink& sink) : sink_(sink) { frame_.reserve(kFrameTarget + 1024); }
  void run(const Value& root);

 private:
  struct Level {
    const List* list = nullptr;
    const Map* map = nullptr;
    Map::const_iterator it;
    std::size_t pos = 0;
    std::size_t batch_end = 0;
    std::size_t batch_n = 0;
    bool batch_open = false;
  };

  void put(std::string_view bytes) {
    if (frame_.empty()) frame_.assign(kFrameHeader, '\0');
    frame_.append(bytes);
  }
  void put(std::uint8_t code) { put(std::string_view(reinterpret_cast<const char*>(&code), 1)); }
  void boundary() {
    if (frame_.size() >= kFrameHeader + kFrameTarget) commit();
  }
  void commit();
  void sized(std::uint8_t op1, std::uint8_t op4, std::uint8_t op8, std::string_view data);
  void scalar(const Value& v);
  // Writes the start of a list or map and opens its level; false when it was written
  // before and a memo reference stood in for it.
  bool open(const Value& v);

  ByteSink& sink_;
  std::string frame_;  // the open frame, behind room for its header
  std::vector<Level> levels_;
  PointerMap memo_;
};

void Writer::commit() {
  if (frame_.empty()) return;
  const std::size_t len = frame_.size() - kFrameHeader;
  if (len >= kFrameMin) {
    frame_[0] = static_cast<char>(op::FRAME);
    for (int i = 0; i < 8; ++i) frame_[1 + i] = static_cast<char>(std::uint64_t{len} >> (8 * i));
    sink_.write(frame_);
  } else {
    sink_.write(std::string_view(frame_).substr(kFrameHeader));
  }
  frame_.clear();
}

void Writer::sized(std::uint8_t op1, std::uint8_t op4, std::uint8_t op8, std::string_view data) {
  char header[9];
  std::size_t header_len;
  const std::uint64_t n = data.size();
  if (n < 256) {
    header[0] = static_cast<char>(op1);
    header[1] = static_cast<char>(n);
    header_len = 2;
  } else if (n <= 0xFFFFFFFFu) {
    header[0] = static_cast<char>(op4);
    for (int i = 0; i < 4; ++i) header[1 + i] = static_cast<char>(n >> (8 * i));
    header_len = 5;
  } else {
    header[0] = static_cast<char>(op8);
    for (int i = 0; i < 8; ++i) header[1 + i] = static_cast<char>(n >> (8 * i));
    header_len = 9;
  }
  if (n >= kFrameTarget) {
    // Large payloads go outside the frames, straight to the sink, as CPython writes them.
    commit();
    sink_.write(std::string_view(header, header_len));
    sink_.write(data);
    return;
  }
  put(std::string_view(header, header_len));
  put(data);
}

void Writer::scalar(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::None:
      put(op::NONE);
      break;
    case Value::Kind::Bool:
      put(v.as_bool() ? op::NEWTRUE : op::NEWFALSE);
      break;
    case Value::Kind::Int: {
      const std::int64_t i = v.as_int();
      char b[10];
      if (i >= 0 && i <= 0xFF) {
        b[0] = static_cast<char>(op::BININT1);
        b[1] = static_cast<char>(i);
        put(std::string_view(b, 2));
      } else if (i >= 0 && i <= 0xFFFF) {
        b[0] = static_cast<char>(op::BININT2);
        b[1] = static_cast<char>(i);
        b[2] = static_cast<char>(i >> 8);
        put(std::string_view(b, 3));
      } else if (i >= INT32_MIN && i <= INT32_MAX) {
        b[0] = static_cast<char>(op::BININT);
        for (int k = 0; k < 4; ++k) b[1 + k] = static_cast<char>(i >> (8 * k));
        put(std::string_view(b, 5));
      } else {
        // The shortest two's complement form, as CPython's encode_long makes it.
        const auto u = static_cast<std::uint64_t>(i);
        std::size_t n = 8;
        while (n > 1) {
          const auto last = static_cast<std::uint8_t>(u >> (8 * (n - 1)));
          const auto next = static_cast<std::uint8_t>(u >> (8 * (n - 2)));
          if ((last == 0 && !(next & 0x80)) || (last == 0xFF && (next & 0x80)))
            --n;
          else
            break;
        }
        b[0] = static_cast<char>(op::LONG1);
        b[1] = static_cast<char>(n);
        for (std::size_t k = 0; k < n; ++k) b[2 + k] = static_cast<char>(u >> (8 * k));
        put(std::string_view(b, 2 + n));
      }
      break;
    }
    case Value::Kind::Float: {
      char b[9];
      b[0] = static_cast<char>(op::BINFLOAT);
      const auto bits = std::bit_cast<std::uint64_t>(v.as_float());
      for (int k = 0; k < 8; ++k) b[1 + k] = static_cast<char>(bits >> (56 - 8 * k));
      put(std::string_view(b, 9));
      break;
    }
    case Value::Kind::Text:
      sized(op::SHORT_BINUNICODE, op::BINUNICODE, op::BINUNICODE8, v.as_text());
      break;
    case Value::Kind::Bytes:
      sized(op::SHORT_BINBYTES, op::BINBYTES, op::BINBYTES8, v.as_bytes());
      break;
    default:
      break;
  }
}

bool Writer::open(const Value& v) {
  // Lists and maps held in more than one place are written once and referred to after.
  const bool shared = TreeAccess::share_count(v) > 1;
  if (shared) {
    if (const std::uint32_t* index = memo_.find(TreeAccess::box(v))) {
      char b[5];
      if (*index < 256) {
        b[0] = static_cast<char>(op::BINGET);
        b[1] = static_cast<char>(*index);
        put(std::string_view(b, 2));
      } else {
        b[0] = static_cast<char>(op::LONG_BINGET);
        for (int k = 0; k < 4; ++k) b[1 + k] = static_cast<char>(*index >> (8 * k));
        put(std::string_view(b, 5));
      }
      return false;
    }
  }
  if (levels_.size() >= kMaxNesting)
    throw DataError("value nested deeper than " + std::to_string(kMaxNesting) +
                    " levels cannot be saved");
  Level level;
  if (v.is_list()) {
    put(op::EMPTY_LIST);
    level.list = &v.as_list();
  } else {
    put(op::EMPTY_DICT);
    level.map = &v.as_map();
    level.it = level.map->begin();
  }
  if (shared) {
    put(op::MEMOIZE);
    const auto index = static_cast<std::uint32_t>(memo_.size());
    memo_.insert(TreeAccess::box(v), index);
  }
  levels_.push_back(level);
  return true;
}

void Writer::run(const Value& root) {
  sink_.write(std::string_view("\x80\x04", 2));
  if (root.is_list() || root.is_map())
    open(root);
  else
    scalar(root);
  while (!levels_.empty()) {
    Level& level = levels_.back();
    const std::size_t total = level.list ? level.list->size() : level.map->size();
    if (level.pos == level.batch_end) {
      if (level.batch_open) {
        if (level.list)
          put(level.batch_n > 1 || total > 1 ? op::APPENDS : op::APPEND);
        else
          put(level.batch_n > 1 || total > 1 ? op::SETITEMS : op::SETITEM);
        level.batch_open = false;
      }
      if (level.pos == total) {
        levels_.pop_back();
        boundary();
        continue;
      }
      // A single element goes without a mark; otherwise batches of kBatch, each marked.
      level.batch_n = std::min(kBatch, total - level.pos);
      if (total > 1) put(op::MARK);
      level.batch_end = level.pos + level.batch_n;
      level.batch_open = true;
    }
    const Value* item;
    if (level.list) {
      item = &(*level.list)[level.pos];
    } else {
      sized(op::SHORT_BINUNICODE, op::BINUNICODE, op::BINUNICODE8, level.it->key());
      boundary();
      item = &level.it->value;
      ++level.it;
    }
    ++level.pos;
    if (item->is_list() || item->is_map()) {
      if (!open(*item)) boundary();  // `level` may be invalid from here on
    } else {
      scalar(*item);
      boundary();
    }
  }
  boundary();
  put(op::STOP);
  commit();
}

}  // namespace

void pickle_dump(const Value& value, ByteSink& sink) {
  Writer writer(sink);
  writer.run(value);
}

std::string pickle_dump(const Value& value) {
  StringSink sink;
  pickle_dump(value, sink);
  return std::move(sink.out);
}

}  // namespace verbix
