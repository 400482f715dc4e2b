// The container file and the byte encoders of the utilities object.
//
// A container file (`lang.dat`, `tool.cfg`) is one zlib stream (level 6, so it begins with
// 0x78 0x9C) of one pickle stream holding one record: written as protocol 4, read from any
// protocol 0 to 5 (doc/pickle_format.md). It is written and read whole, through a stream, so
// that neither the compressed nor the decompressed bytes are held beside the record.
// Buff files are raw bytes. Encoded blob text is base64 of the bytes, zlib-compressed first
// unless the caller turns that off.
#pragma once

#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "data/value.h"
#include "data/zlib_codec.h"

namespace verbix {

// Saves the record and logs "DAT file saved: " + the absolute path; returns 0. The file is
// replaced whole (written beside it, then renamed over it), so a failed save leaves the old
// file as it was. Returns 1 after logging "DAT save IOError " (operating-system error) or
// "DAT save error " + path, with the error text as the log line's code. A record that cannot
// be serialised throws DataError before anything is written or logged. `p_level` is the
// compression level: at Python's default the stream is exactly zlib's; a lower one, for a
// file only the tool reads, is compressed by the faster library where the build has it.
int dat_save(std::string_view p_path, const Value& p_data, int p_level = kZlibLevel);

// The record of the file, after logging "DAT file loaded: " + the absolute path. Nothing
// when nothing exists at the path (logged as "DAT file not found: " + path), after an
// operating-system error ("DAT load IOError: " + path) or when the file is not a container
// of supported data ("DAT load error: " + path); errors carry their text as the code.
std::optional<Value> dat_load(std::string_view p_path);

// dat_load in two halves, so that a file can be read on a thread of its own and its outcome
// logged later, in the order of the log: `dat_read` reads and logs nothing (any thread);
// `dat_report` logs as dat_load does and gives its result.
struct DatRead {
  std::string abs;  // the absolute path
  bool missing = false;
  std::optional<Value> record;
  std::exception_ptr failure;
};
DatRead dat_read(std::string_view p_path) noexcept;
std::optional<Value> dat_report(DatRead p_read);

// The file's bytes. Ends the process with "Failed to load file: " + the error on failure.
std::string buff_load(std::string_view p_file);

// Writes the bytes to the file (creating its folder, replacing the file whole); returns 0.
// Ends the process with "Failed to save file: " + the error on failure.
int buff_save(std::string_view p_file, std::string_view p_bytes);

// The encoded blob text of the bytes; "" for no bytes. Failure (memory) logs the input and
// ends the process with "Failed to compress and encode bytes: " + the error.
std::string buff_2_str(std::string_view p_bytes, bool p_compress = true);

// The bytes of an encoded blob text; no bytes for "". Invalid base64 or, with `p_decompress`,
// bytes that are not one zlib stream log the text and end the process with "Failed to
// decompress and decode string: " + the error.
std::string str_2_buff(std::string_view p_str, bool p_decompress = true);

// The first `p_length` (at least 1, at most 64) lower-case hexadecimal digits of the
// SHA-256 digest of the text's UTF-8 bytes.
std::string hash_string(std::string_view p_string, long long p_length = 16);

// Whether both are maps with the same key set whose first map-valued entry (in `p_a`'s
// order) matches in turn, `p_depth` levels down; below that any two maps match.
bool structs_match(const Value& p_a, const Value& p_b, long long p_depth = 1);

// The record of a container file's bytes. Throws DataError as dat_load reports it.
Value container_decode(std::string_view file_bytes);

// The container file's bytes for a record, compressed as dat_save says for `level`. Throws
// DataError when it cannot be serialised.
std::string container_encode(const Value& record, int level = kZlibLevel);

// How bytes show in a log line: Python's repr of the first 256, then the full length.
std::string blob_repr(std::string_view bytes);

}  // namespace verbix
