#include "data/container.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "data/base64.h"
#include "data/fast_deflate.h"
#include "data/pickle.h"
#include "data/read_ahead.h"
#include "data/sha256.h"
#include "data/zlib_codec.h"
#include "utils/data_error.h"
#include "utils/file_helpers.h"
#include "utils/file_io.h"
#include "utils/log_service.h"
#include "utils/os_error.h"
#include "utils/paths.h"

namespace verbix {
namespace {

// A folder is refused as the host refuses to open one, on every platform.
File open_for_reading(std::string_view path) {
  if (is_directory(path)) throw OsError::from_errno(EISDIR, std::string(path));
  return open_file(path, "rb");
}

// How many values a pickle stream allowed to inflate to `inflated` bytes may build: one for
// every 16 of those bytes, four for every byte of a file that inflates 64 times. The game's
// records hold about one for every two bytes of their file; a small stream of one-byte empty
// lists, each some 50 bytes of memory, is refused before its tree fills the memory.
std::size_t values_limit(std::size_t inflated) { return std::max<std::size_t>(inflated / 16, 1); }

// Decodes the pickle stream that `source` inflates (an Inflater, or a ReadAhead over one).
// When both are broken, the zlib error is the one reported, as it is when the stream is
// decompressed whole before decoding.
template <class Source>
Value decode(Source& source, std::size_t inflate_limit) {
  Value record;
  try {
    record = pickle_load(source, values_limit(inflate_limit));
  } catch (const DataError&) {
    source.finish();
    throw;
  }
  source.finish();  // the rest of the stream, so that its checksum is verified
  return record;
}

// How far a container of `compressed` bytes may inflate: 64 times its size (the game's own
// files inflate a few times), at least 64 MiB, at most kMaxInflated. A small hostile file
// is refused before its expansion fills the memory.
std::size_t inflate_limit(std::uintmax_t compressed) {
  constexpr std::uintmax_t kFloor = std::uintmax_t{64} << 20;
  const std::uintmax_t limit = std::max(kFloor, compressed * 64);
  return static_cast<std::size_t>(std::min<std::uintmax_t>(limit, kMaxInflated));
}

}  // namespace

Value container_decode(std::string_view file_bytes) {
  MemorySource source(file_bytes);
  const std::size_t limit = inflate_limit(file_bytes.size());
  Inflater inflater([&](char* buf, std::size_t cap) { return source.read(buf, cap); }, limit);
  return decode(inflater, limit);
}

std::string container_encode(const Value& record, int level) {
  if (level < kZlibLevel) {
    // A file only the tool reads: the whole pickle compressed at once by the faster library.
    StringSink pickled;
    pickle_dump(record, pickled);
    if (std::optional<std::string> fast = fast_deflate(pickled.out, level)) return *fast;
    return zlib_compress(pickled.out, level);
  }
  Deflater deflater(level);
  pickle_dump(record, deflater);
  return deflater.finish();
}

int dat_save(std::string_view p_path, const Value& p_data, int p_level) {
  const std::string abs = full_path(p_path);
  ensure_dir(p_path);
  const std::string bytes = container_encode(p_data, p_level);
  return save_reporting(abs, {"DAT file saved: ", "DAT save IOError ", "DAT save error "},
                        [&] { write_file_replacing(p_path, bytes); });
}

std::optional<Value> dat_load(std::string_view p_path) { return dat_report(dat_read(p_path)); }

DatRead dat_read(std::string_view p_path) noexcept {
  DatRead out;
  try {
    out.abs = full_path(p_path);
    if (!path_exists(p_path)) {
      out.missing = true;
      return out;
    }
    File file = open_for_reading(p_path);
    const std::string name(p_path);
    std::error_code size_ec;
    const std::uintmax_t size = std::filesystem::file_size(fs_path(p_path), size_ec);
    const std::size_t limit = size_ec ? kMaxInflated : inflate_limit(size);
    Inflater inflater(
        [&](char* buf, std::size_t cap) {
          errno = 0;
          const std::size_t got = std::fread(buf, 1, cap, file.get());
          if (got < cap && std::ferror(file.get()))
            throw OsError::from_errno(errno ? errno : EIO, name);
          return got;
        },
        limit);
    // Inflating (about half of the work) runs on a thread of its own beside the decoding:
    // faster than libdeflate, which cannot stream, inflating the file whole before it.
    ReadAhead ahead(inflater);
    out.record = decode(ahead, limit);
  } catch (...) {
    out.record.reset();
    out.failure = std::current_exception();
  }
  return out;
}

std::optional<Value> dat_report(DatRead p_read) {
  const std::string& abs = p_read.abs;
  if (p_read.missing) {
    utils.info("DAT file not found: " + abs);
    return std::nullopt;
  }
  try {
    if (p_read.failure) std::rethrow_exception(p_read.failure);
    utils.info("DAT file loaded: " + abs);
    return std::move(p_read.record);
  } catch (const OsError& e) {
    utils.fail("DAT load IOError: " + abs, e.what());
  } catch (const std::bad_alloc&) {
    utils.fail("DAT load error: " + abs, "out of memory");
  } catch (const std::exception& e) {
    utils.fail("DAT load error: " + abs, e.what());
  }
  return std::nullopt;
}

std::string buff_load(std::string_view p_file) {
  try {
    return read_file(p_file);
  } catch (const std::exception& e) {
    utils.crash(std::string("Failed to load file: ") + e.what());
  }
}

int buff_save(std::string_view p_file, std::string_view p_bytes) {
  ensure_dir(p_file);
  try {
    write_file_replacing(p_file, p_bytes);
  } catch (const std::exception& e) {
    utils.crash(std::string("Failed to save file: ") + e.what());
  }
  return 0;
}

std::string buff_2_str(std::string_view p_bytes, bool p_compress) {
  if (p_bytes.empty()) return {};
  std::string compressed;
  try {
    if (p_compress) compressed = zlib_compress(p_bytes);
    return base64_encode(p_compress ? std::string_view(compressed) : p_bytes);
  } catch (const std::exception& e) {
    utils.info(blob_repr(compressed.empty() ? p_bytes : std::string_view(compressed)));
    utils.crash(std::string("Failed to compress and encode bytes: ") + e.what());
  }
}

std::string str_2_buff(std::string_view p_str, bool p_decompress) {
  if (p_str.empty()) return {};
  try {
    std::string bytes = base64_decode(p_str);
    if (p_decompress) bytes = zlib_decompress(bytes);
    return bytes;
  } catch (const std::exception& e) {
    utils.info(p_str);
    utils.crash(std::string("Failed to decompress and decode string: ") + e.what());
  }
}

std::string hash_string(std::string_view p_string, long long p_length) {
  const long long n = p_length > 1 ? p_length : 1;
  return sha256_hex(p_string).substr(0, static_cast<std::size_t>(std::min(n, 64LL)));
}

bool structs_match(const Value& p_a, const Value& p_b, long long p_depth) {
  const Value* a = &p_a;
  const Value* b = &p_b;
  for (;;) {
    if (!a->is_map() || !b->is_map()) return false;
    if (p_depth < 1) return true;
    --p_depth;
    const Map& ma = a->as_map();
    const Map& mb = b->as_map();
    if (!ma.same_keys(mb)) return false;
    const Value* next = nullptr;
    for (const auto& [key, value] : ma) {
      if (value.is_map()) {
        next = &value;
        b = mb.find(key);
        break;
      }
    }
    if (!next) return true;
    a = next;  // the first nested map decides
  }
}

std::string blob_repr(std::string_view bytes) {
  constexpr std::size_t kShown = 256;
  std::string text = repr(Value::bytes(std::string(bytes.substr(0, kShown))));
  if (bytes.size() > kShown) text += "... (" + std::to_string(bytes.size()) + " bytes)";
  return text;
}

}  // namespace verbix
