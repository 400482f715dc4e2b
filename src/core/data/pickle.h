// The pickle codec of the container file (doc/pickle_format.md lists what it reads and
// writes): a reader of the protocols 0 to 5 for the plain data that the tool's records hold,
// as CPython writes it, and a writer of protocol 4 with framing that CPython reads back.
//
// The reader never imports or calls anything. The only globals it accepts are the
// reconstructors CPython uses for byte strings at low protocols (`_codecs.encode` with
// "latin1", `bytearray` and `bytes` of the builtins), and it evaluates those itself. It works
// on its own stack (no native recursion), keeps values that the stream refers to more than
// once shared instead of copying them, and stops with a DataError on anything outside its
// bounds: integers beyond 64 bits, nesting deeper than kMaxNesting, more than kMaxValues
// values built or a tree that would hold more once its shared parts were counted each time
// they are referred to (a memo bomb), copies beyond the input's size, texts that are not
// UTF-8, dict keys that are not texts.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "data/byte_stream.h"
#include "data/value.h"

namespace verbix {

// Levels of lists and maps inside one another that a stream may hold. CPython cannot write
// deeper data itself (its pickler stops at its recursion limit of 1000).
inline constexpr std::size_t kMaxNesting = 1000;

// Values that one stream may build, and the size its tree may have with shared parts
// counted as often as they are referred to: ten times the largest language data, so that a
// small file can neither make the reader allocate without end nor hand on a tree that
// expands to gigabytes when it is written out as text.
inline constexpr std::size_t kMaxValues = std::size_t{1} << 25;

// The value of the pickle stream that `source` yields. Reading stops at the stream's STOP;
// what follows is not read. Throws DataError ("pickle data was truncated", "global
// 'os.system' is forbidden", ...) or what the source throws. `max_values` lowers the bound
// on values built and on the tree's expanded size below kMaxValues, for a caller that knows
// how small its input is.
Value pickle_load(ByteSource& source, std::size_t max_values = kMaxValues);
Value pickle_load(std::string_view data);

// Writes `value` as a protocol 4 stream with framing. Throws DataError when it nests deeper
// than kMaxNesting (the reader would refuse the stream).
void pickle_dump(const Value& value, ByteSink& sink);
std::string pickle_dump(const Value& value);

}  // namespace verbix
