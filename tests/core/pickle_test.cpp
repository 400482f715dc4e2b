#include "data/pickle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "utils/data_error.h"

namespace verbix {
namespace {

using namespace std::literals;

// The record that the CPython streams below encode, with the value kinds of the records.
Value cpython_record() {
  return Map{{"s", "\xc3\xa9\n\\ \xe3\x80\x80\xf0\x9f\x98\x80"},
             {"b", Value::bytes("ab\xff")},
             {"e", Value::bytes("")},
             {"ba", Value::bytes("x")},
             {"n", Value()},
             {"t", true},
             {"f", false},
             {"i", -3},
             {"big", std::int64_t{1} << 40},
             {"neg", INT64_MIN},
             {"fl", 1.5},
             {"l", List{1, List{2, 3}, List{}}},
             {"d", Value::map()}};
}

struct Stream {
  int protocol;
  std::string_view bytes;
};

// pickle.dumps(record, protocol) of CPython 3.12 for the record above: bytes through
// _codecs.encode and __builtin__.bytes / bytearray at protocols 0 to 2, BINBYTES from 3,
// BYTEARRAY8 at 5, the memo and frames.
const Stream kCPython[] = {
    {0,
     "(dp0\nVs\np1\nV\xe9\\u000a\\u005c \\u3000\\U0001f600\np2\nsVb\np3\nc_codecs\nencode\np4"
     "\n(Vab\xff\np5\nVlatin1\np6\ntp7\nRp8\nsVe\np9\nc__builtin__\nbytes\np10\n(tRp11\nsVba\n"
     "p12\nc__builtin__\nbytearray\np13\n(g4\n(Vx\np14\ng6\ntp15\nRp16\ntp17\nRp18\nsVn\np19\n"
     "NsVt\np20\nI01\nsVf\np21\nI00\nsVi\np22\nI-3\nsVbig\np23\nL1099511627776L\nsVneg\np24\nL"
     "-9223372036854775808L\nsVfl\np25\nF1.5\nsVl\np26\n(lp27\nI1\na(I2\nI3\ntp28\na(tasVd\np2"
     "9\n(dp30\ns."sv},
    {1,
     "}q\x00(X\x01\x00\x00\x00sq\x01X\x0c\x00\x00\x00\xc3\xa9\n\\ \xe3\x80\x80\xf0\x9f\x98\x80"
     "q\x02X\x01\x00\x00\x00"
     "bq\x03"
     "c_codecs\nencode\nq\x04(X\x04\x00\x00\x00"
     "ab\xc3\xbfq"
     "\x05X\x06\x00\x00\x00latin1q\x06tq\x07Rq\x08X\x01\x00\x00\x00"
     "eq\x09"
     "c__builtin__\nbyt"
     "es\nq\n)Rq\x0bX\x02\x00\x00\x00"
     "baq\x0c"
     "c__builtin__\nbytearray\nq\x0d(h\x04(X\x01\x00"
     "\x00\x00xq\x0eh\x06tq\x0fRq\x10tq\x11Rq\x12X\x01\x00\x00\x00nq\x13NX\x01\x00\x00\x00tq"
     "\x14I01\nX\x01\x00\x00\x00"
     "fq\x15I00\nX\x01\x00\x00\x00iq\x16J\xfd\xff\xff\xffX\x03\x00"
     "\x00\x00"
     "bigq\x17L1099511627776L\nX\x03\x00\x00\x00negq\x18L-9223372036854775808L\nX"
     "\x02\x00\x00\x00"
     "flq\x19G\x3f\xf8\x00\x00\x00\x00\x00\x00X\x01\x00\x00\x00lq\x1a]q\x1b("
     "K\x01(K\x02K\x03tq\x1c)eX\x01\x00\x00\x00"
     "dq\x1d}q\x1eu."sv},
    {2,
     "\x80\x02}q\x00(X\x01\x00\x00\x00sq\x01X\x0c\x00\x00\x00\xc3\xa9\n\\ \xe3\x80\x80\xf0\x9f"
     "\x98\x80q\x02X\x01\x00\x00\x00"
     "bq\x03"
     "c_codecs\nencode\nq\x04X\x04\x00\x00\x00"
     "ab\xc3"
     "\xbfq\x05X\x06\x00\x00\x00latin1q\x06\x86q\x07Rq\x08X\x01\x00\x00\x00"
     "eq\x09"
     "c__builti"
     "n__\nbytes\nq\n)Rq\x0bX\x02\x00\x00\x00"
     "baq\x0c"
     "c__builtin__\nbytearray\nq\x0dh\x04X"
     "\x01\x00\x00\x00xq\x0eh\x06\x86q\x0fRq\x10\x85q\x11Rq\x12X\x01\x00\x00\x00nq\x13NX\x01"
     "\x00\x00\x00tq\x14\x88X\x01\x00\x00\x00"
     "fq\x15\x89X\x01\x00\x00\x00iq\x16J\xfd\xff\xff"
     "\xffX\x03\x00\x00\x00"
     "bigq\x17\x8a\x06\x00\x00\x00\x00\x00\x01X\x03\x00\x00\x00negq\x18"
     "\x8a\x08\x00\x00\x00\x00\x00\x00\x00\x80X\x02\x00\x00\x00"
     "flq\x19G\x3f\xf8\x00\x00\x00"
     "\x00\x00\x00X\x01\x00\x00\x00lq\x1a]q\x1b(K\x01K\x02K\x03\x86q\x1c)eX\x01\x00\x00\x00"
     "d"
     "q\x1d}q\x1eu."sv},
    {3,
     "\x80\x03}q\x00(X\x01\x00\x00\x00sq\x01X\x0c\x00\x00\x00\xc3\xa9\n\\ \xe3\x80\x80\xf0\x9f"
     "\x98\x80q\x02X\x01\x00\x00\x00"
     "bq\x03"
     "C\x03"
     "ab\xffq\x04X\x01\x00\x00\x00"
     "eq\x05"
     "C"
     "\x00q\x06X\x02\x00\x00\x00"
     "baq\x07"
     "cbuiltins\nbytearray\nq\x08"
     "C\x01xq\x09\x85q\nRq"
     "\x0bX\x01\x00\x00\x00nq\x0cNX\x01\x00\x00\x00tq\x0d\x88X\x01\x00\x00\x00"
     "fq\x0e\x89X"
     "\x01\x00\x00\x00iq\x0fJ\xfd\xff\xff\xffX\x03\x00\x00\x00"
     "bigq\x10\x8a\x06\x00\x00\x00"
     "\x00\x00\x01X\x03\x00\x00\x00negq\x11\x8a\x08\x00\x00\x00\x00\x00\x00\x00\x80X\x02\x00"
     "\x00\x00"
     "flq\x12G\x3f\xf8\x00\x00\x00\x00\x00\x00X\x01\x00\x00\x00lq\x13]q\x14(K\x01K"
     "\x02K\x03\x86q\x15)eX\x01\x00\x00\x00"
     "dq\x16}q\x17u."sv},
    {4,
     "\x80\x04\x95\xaa\x00\x00\x00\x00\x00\x00\x00}\x94(\x8c\x01s\x94\x8c\x0c\xc3\xa9\n\\ \xe3"
     "\x80\x80\xf0\x9f\x98\x80\x94\x8c\x01"
     "b\x94"
     "C\x03"
     "ab\xff\x94\x8c\x01"
     "e\x94"
     "C\x00\x94"
     "\x8c\x02"
     "ba\x94\x8c\x08"
     "builtins\x94\x8c\x09"
     "bytearray\x94\x93\x94"
     "C\x01x\x94\x85"
     "\x94R\x94\x8c\x01n\x94N\x8c\x01t\x94\x88\x8c\x01"
     "f\x94\x89\x8c\x01i\x94J\xfd\xff\xff"
     "\xff\x8c\x03"
     "big\x94\x8a\x06\x00\x00\x00\x00\x00\x01\x8c\x03neg\x94\x8a\x08\x00\x00\x00"
     "\x00\x00\x00\x00\x80\x8c\x02"
     "fl\x94G\x3f\xf8\x00\x00\x00\x00\x00\x00\x8c\x01l\x94]\x94("
     "K\x01K\x02K\x03\x86\x94)e\x8c\x01"
     "d\x94}\x94u."sv},
    {5,
     "\x80\x05\x95\x94\x00\x00\x00\x00\x00\x00\x00}\x94(\x8c\x01s\x94\x8c\x0c\xc3\xa9\n\\ \xe3"
     "\x80\x80\xf0\x9f\x98\x80\x94\x8c\x01"
     "b\x94"
     "C\x03"
     "ab\xff\x94\x8c\x01"
     "e\x94"
     "C\x00\x94"
     "\x8c\x02"
     "ba\x94\x96\x01\x00\x00\x00\x00\x00\x00\x00x\x94\x8c\x01n\x94N\x8c\x01t\x94\x88"
     "\x8c\x01"
     "f\x94\x89\x8c\x01i\x94J\xfd\xff\xff\xff\x8c\x03"
     "big\x94\x8a\x06\x00\x00\x00"
     "\x00\x00\x01\x8c\x03neg\x94\x8a\x08\x00\x00\x00\x00\x00\x00\x00\x80\x8c\x02"
     "fl\x94G\x3f"
     "\xf8\x00\x00\x00\x00\x00\x00\x8c\x01l\x94]\x94(K\x01K\x02K\x03\x86\x94)e\x8c\x01"
     "d\x94}"
     "\x94u."sv},
};

std::string message_of(std::string_view stream) {
  try {
    pickle_load(stream);
  } catch (const DataError& e) {
    return e.what();
  }
  return "(loaded)";
}

// -- Reading what CPython writes --

TEST(PickleRead, EveryProtocolGivesTheRecordWithItsKindsAndOrder) {
  const Value want = cpython_record();
  for (const Stream& s : kCPython) {
    const Value got = pickle_load(s.bytes);
    EXPECT_EQ(got, want) << "protocol " << s.protocol << ": " << repr(got);
    ASSERT_TRUE(got.is_map());
    std::vector<std::string> keys;
    for (const auto& [k, v] : got.as_map()) keys.push_back(k);
    EXPECT_EQ(keys, (std::vector<std::string>{"s", "b", "e", "ba", "n", "t", "f", "i", "big", "neg",
                                              "fl", "l", "d"}))
        << s.protocol;
    // Equality is Python's (True == 1), so the kinds are checked apart.
    EXPECT_TRUE(got["t"].is_bool() && got["f"].is_bool()) << s.protocol;
    EXPECT_TRUE(got["ba"].is_bytes() && got["e"].is_bytes()) << s.protocol;
    EXPECT_TRUE(got["l"][1].is_list()) << s.protocol;
    EXPECT_TRUE(got["fl"].is_float() && got["big"].is_int()) << s.protocol;
  }
}

struct Accepted {
  const char* name;
  std::string_view stream;
  Value want;
};

TEST(PickleRead, EdgesOfTheAcceptedForms) {
  const Accepted cases[] = {
      {"protocol 0 bool", "I01\n."sv, true},
      {"protocol 0 int", "I-7\n."sv, -7},
      {"protocol 0 long", "L5L\n."sv, 5},
      {"long at the 64-bit edge", "L-9223372036854775808L\n."sv, INT64_MIN},
      {"LONG1 with sign extension beyond 8 bytes",
       "\x8a\x09\xff\xff\xff\xff\xff\xff\xff\xff\xff."sv, -1},
      {"LONG1 of no bytes", "\x8a\x00."sv, 0},
      {"protocol 0 float", "F-2.5e-3\n."sv, -0.0025},
      {"raw-unicode-escape: odd backslashes escape", "V\\\\\\u0041\n."sv, "\\\\A"},
      {"raw-unicode-escape: even backslashes do not", "V\\\\u0041\n."sv, "\\\\u0041"},
      {"raw-unicode-escape: Latin-1 bytes", "V\xe9\n."sv, "\xc3\xa9"},
      {"memo survives POP", "Vabc\np1\n0g1\n."sv, "abc"},
      {"memo at a huge index", "Vx\nr\xff\xff\xff\xff\x30j\xff\xff\xff\xff."sv, "x"},
      {"repeated key: the later value wins in place",
       "}(\x8c\x01"
       "aK\x01\x8c\x01"
       "bK\x02\x8c\x01"
       "aK\x03u."sv,
       Map{{"a", 3}, {"b", 2}}},
      {"bytes after STOP are not read", "N.garbage"sv, Value()},
      {"empty bytearray at protocol 2",
       "\x80\x02"
       "c__builtin__\nbytearray\n)R."sv,
       Value::bytes("")},
      {"tuples become lists", "K\x01K\x02\x86."sv, List{1, 2}},
  };
  for (const auto& c : cases) {
    Value got;
    ASSERT_NO_THROW(got = pickle_load(c.stream)) << c.name << ": " << message_of(c.stream);
    EXPECT_EQ(got, c.want) << c.name << ": " << repr(got);
    EXPECT_EQ(got.kind(), c.want.kind()) << c.name;
  }
}

TEST(PickleRead, FloatTextsOfRepr) {
  EXPECT_TRUE(std::isinf(pickle_load("Finf\n."sv).as_float()));
  EXPECT_TRUE(std::isnan(pickle_load("Fnan\n."sv).as_float()));
}

// -- Refusing what the records never hold --

struct Refused {
  const char* name;
  std::string_view stream;
  const char* message;
};

TEST(PickleRead, RefusesWithItsReason) {
  const Refused cases[] = {
      {"os.system through GLOBAL and REDUCE", "cos\nsystem\n(S'echo hi'\ntR."sv,
       "global 'os.system' is forbidden"},
      {"posix.system as CPython writes it at protocol 4",
       "\x80\x04\x95\"\x00\x00\x00\x00\x00\x00\x00\x8c\x05posix\x94\x8c\x06system\x94\x93\x94"
       "\x8c\x07"
       "echo hi\x94\x85\x94R\x94."sv,
       "global 'posix.system' is forbidden"},
      {"a class instance at protocol 2",
       "\x80\x02"
       "c__main__\nC\nq\x00)\x81q\x01."sv,
       "global '__main__.C' is forbidden"},
      {"a set at protocol 4",
       "\x80\x04\x95\t\x00\x00\x00\x00\x00\x00\x00\x8f\x94(K\x01K\x02\x90."sv,
       "pickle opcode EMPTY_SET is not supported"},
      {"a set at protocol 0", "c__builtin__\nset\np0\n((lp1\nI1\naI2\natp2\nRp3\n."sv,
       "global '__builtin__.set' is forbidden"},
      {"BUILD", "}}b."sv, "pickle opcode BUILD is not supported"},
      {"Python 2 str", "S'abc'\n."sv, "pickle opcode STRING is not supported"},
      {"a newer protocol", "\x80\x06."sv, "unsupported pickle protocol: 6"},
      {"an unknown opcode", "\xff"sv, "invalid load key, '\\xff'."},
      {"nothing at all", ""sv, "Ran out of input"},
      {"a cut string",
       "X\x05\x00\x00\x00"
       "ab"sv,
       "pickle data was truncated"},
      {"a cut protocol 0 line", "I12"sv, "pickle data was truncated"},
      {"a dict key that is an int", "}K\x01K\x02s."sv,
       "dict key of kind int in pickle data (str expected)"},
      {"text that is not UTF-8", "\x8c\x01\xff."sv,
       "'utf-8' codec can't decode byte 0xff in position 0: invalid start byte"},
      {"an encoded surrogate", "\x8c\x03\xed\xa0\x80."sv,
       "'utf-8' codec can't decode byte 0xed in position 0: invalid continuation byte"},
      {"LONG1 beyond 64 bits", "\x8a\x09\x00\x00\x00\x00\x00\x00\x00\x00\x01."sv,
       "int beyond 64 bits in pickle data"},
      {"INT beyond 64 bits", "I99999999999999999999\n."sv, "int beyond 64 bits in pickle data"},
      {"LONG4 of 415,000 bytes, refused before reading them", "\x8b\x18\x55\x06\x00"sv,
       "int beyond 64 bits in pickle data"},
      {"a memo index never stored", "h\x05."sv, "Memo value not found at index 5"},
      {"STOP on an empty stack", "."sv, "unpickling stack underflow"},
      {"APPEND to a dict", "}Na."sv, "APPEND to a value that is not a list"},
      {"SETITEMS of an odd count", "}(K\x01u."sv, "odd number of items for SETITEMS"},
      {"APPENDS without MARK", "]e."sv, "could not find MARK"},
      {"a global returned as data", "cbuiltins\nbytes\n."sv, "a global cannot be stored as data"},
      {"_codecs.encode to UTF-8", "c_codecs\nencode\n(Vab\nVutf-8\ntR."sv,
       "unsupported call of _codecs.encode in pickle data"},
      {"_codecs.encode of a character beyond Latin-1",
       "c_codecs\nencode\n(V\\u0100\nVlatin1\ntR."sv,
       "'latin-1' codec can't encode a character of the text in pickle data"},
      {"bytearray of a list", "cbuiltins\nbytearray\n(]tR."sv,
       "unsupported call of bytearray in pickle data"},
      {"REDUCE of data", "N)R."sv, "REDUCE of a value that is not a global"},
  };
  for (const auto& c : cases) EXPECT_EQ(message_of(c.stream), c.message) << c.name;
}

TEST(PickleRead, EveryCutOfAValidStreamIsRefused) {
  for (const Stream& s : kCPython) {
    for (std::size_t n = 0; n < s.bytes.size(); ++n) {
      // Cuts that end right after a complete STOP-less prefix must still be refused.
      EXPECT_THROW(pickle_load(s.bytes.substr(0, n)), DataError)
          << "protocol " << s.protocol << " cut at " << n;
    }
  }
}

// -- Hostile streams --

std::string le32(std::uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
  return s;
}

TEST(PickleHostile, AMillionLevelsOfNestingIsRefusedWithoutRecursion) {
  std::string stream = "\x80\x04";
  stream.append(1000000, ']');
  stream.append(999999, 'a');
  stream += '.';
  EXPECT_EQ(message_of(stream), "pickle data nested deeper than 1000 levels");
}

TEST(PickleHostile, NestingBuiltThroughTheMemoIsRefusedToo) {
  // Each list holds the one before it, fetched from the memo: the stack stays two deep.
  std::string stream = "\x80\x04]\x94";
  for (std::uint32_t i = 0; i < 5000; ++i) stream += "]j" + le32(i) + "a\x94";
  stream += '.';
  EXPECT_EQ(message_of(stream), "pickle data nested deeper than 1000 levels");
}

TEST(PickleHostile, AMemoBombIsRefusedWithoutExpanding) {
  // A list of 1000 items, then lists of 1000 references to the previous one: 1000^4 items
  // if every reference were copied, from about 15 kB.
  std::string stream = "\x80\x04](";
  stream.append(1000, 'N');
  stream += "e\x94";
  for (std::uint32_t level = 0; level < 3; ++level) {
    stream += "](";
    for (int i = 0; i < 1000; ++i) stream += "j" + le32(level);
    stream += "e\x94";
  }
  stream += '.';
  EXPECT_EQ(message_of(stream), "pickle data expands to more than 33554432 values");
}

TEST(PickleHostile, SharingBelowTheBoundLoadsAsSharedPayloads) {
  // One list referred to 1000 times: it is kept once.
  std::string stream = "\x80\x04](";
  stream.append(1000, 'N');
  stream += "e\x94](";
  for (int i = 0; i < 1000; ++i) stream += "h\x00"sv;
  stream += "e.";
  const Value v = pickle_load(stream);
  ASSERT_EQ(v.size(), 1000u);
  EXPECT_EQ(detail::TreeAccess::box(v[std::size_t{0}]), detail::TreeAccess::box(v[999]));
  EXPECT_EQ(v[999].size(), 1000u);
}

TEST(PickleHostile, CopiesOfALongTextAreBounded) {
  // A 1 MB text fetched from the memo again and again: the copies share its characters, but
  // the list would be 10 GB written out.
  std::string stream = "\x80\x04X" + le32(1 << 20) + std::string(1 << 20, 'x') + "\x94(";
  for (int i = 0; i < 10000; ++i) stream += "h\x00"sv;
  stream += "l.";
  EXPECT_EQ(message_of(stream), "pickle data expands to more than 33554432 values");

  std::string dup = "\x80\x04(X" + le32(1 << 20) + std::string(1 << 20, 'x');
  dup.append(10000, '2');
  dup += "l.";
  EXPECT_EQ(message_of(dup), "pickle data expands beyond its size");
}

TEST(PickleHostile, ChangesForcingCopiesOfALargeListAreBounded) {
  // A list of 100,000 items fetched and appended to over and over: each change copies it.
  std::string stream = "\x80\x04](";
  stream.append(100000, 'N');
  stream +=
      "e\x94"
      "0";
  for (int i = 0; i < 1000; ++i) stream += "h\x00Na0"sv;
  stream += "N.";
  EXPECT_EQ(message_of(stream), "pickle data expands beyond its size");
}

TEST(PickleHostile, AMillionDigitIntegerIsRefused) {
  std::string text = "L";
  text.append(1000000, '7');
  text += "L\n.";
  EXPECT_EQ(message_of(text), "int beyond 64 bits in pickle data");
  std::string binary = "\x8b" + le32(415000) + std::string(415000, '\x01') + ".";
  EXPECT_EQ(message_of(binary), "int beyond 64 bits in pickle data");
}

TEST(PickleHostile, ALengthWithoutDataAllocatesNoMoreThanArrives) {
  // BINBYTES8 claiming 1 GiB with 10 bytes behind it.
  std::string stream = "\x8e" + le32(1u << 30) + le32(0) + "0123456789";
  EXPECT_EQ(message_of(stream), "pickle data was truncated");
  std::string huge = "\x8e" + le32(0) + le32(1);  // 4 GiB
  EXPECT_EQ(message_of(huge), "pickle string of 4294967296 bytes is too long");
}

TEST(PickleHostile, AListCannotComeToHoldItself) {
  // EMPTY_LIST MEMOIZE, then the list fetched and appended to itself: the append works on
  // a copy, so the result holds the earlier, empty state.
  const Value v = pickle_load(
      "\x80\x04]\x94h\x00"
      "a."sv);
  EXPECT_EQ(v, Value(List{Value::list()}));
  const Value m = pickle_load("\x80\x04}\x94\x8c\x01xh\x00s."sv);
  EXPECT_EQ(m, Value(Map{{"x", Value::map()}}));
}

TEST(PickleRead, ALongDictKeyFetchedFromTheMemoAfterTheDictIsBuilt) {
  // A key too long to sit inside a value, memoised, stored in a dict and fetched again: the
  // dict keeps a copy of the key, so the memo must keep the text itself alive.
  const std::string key = "a key of thirty-two bytes, long.";
  const Value v = pickle_load("\x80\x04](}(\x8c\x20" + key + "\x94Nu\x8c\x20" + key +
                              std::string("\x94h\x00h\x01"
                                          "e.",
                                          8));
  EXPECT_EQ(v, list_value(Value(Map{{key, Value()}}), Value(key), Value(key), Value(key)));
}

// -- Writing --

struct Written {
  Value value;
  std::string_view cpython;
};

TEST(PickleWrite, ScalarsComeOutAsCPythonWritesThem) {
  // pickle.dumps(x, 4): the opcode chosen at each integer boundary, frames only from 4 bytes.
  const Written cases[] = {
      {0, "\x80\x04K\x00."sv},
      {255, "\x80\x04K\xff."sv},
      {256, "\x80\x04\x95\x04\x00\x00\x00\x00\x00\x00\x00M\x00\x01."sv},
      {65535, "\x80\x04\x95\x04\x00\x00\x00\x00\x00\x00\x00M\xff\xff."sv},
      {65536, "\x80\x04\x95\x06\x00\x00\x00\x00\x00\x00\x00J\x00\x00\x01\x00."sv},
      {-1, "\x80\x04\x95\x06\x00\x00\x00\x00\x00\x00\x00J\xff\xff\xff\xff."sv},
      {INT32_MAX, "\x80\x04\x95\x06\x00\x00\x00\x00\x00\x00\x00J\xff\xff\xff\x7f."sv},
      {INT32_MIN, "\x80\x04\x95\x06\x00\x00\x00\x00\x00\x00\x00J\x00\x00\x00\x80."sv},
      {std::int64_t{2147483648},
       "\x80\x04\x95\x08\x00\x00\x00\x00\x00\x00\x00\x8a\x05\x00\x00\x00\x80\x00."sv},
      {std::int64_t{-2147483649},
       "\x80\x04\x95\x08\x00\x00\x00\x00\x00\x00\x00\x8a\x05\xff\xff\xff\x7f\xff."sv},
      {INT64_MAX,
       "\x80\x04\x95\x0b\x00\x00\x00\x00\x00\x00\x00\x8a\x08\xff\xff\xff\xff\xff\xff\xff\x7f."sv},
      {INT64_MIN,
       "\x80\x04\x95\x0b\x00\x00\x00\x00\x00\x00\x00\x8a\x08\x00\x00\x00\x00\x00\x00\x00\x80."sv},
      {1.5, "\x80\x04\x95\n\x00\x00\x00\x00\x00\x00\x00G\x3f\xf8\x00\x00\x00\x00\x00\x00."sv},
      {-0.0, "\x80\x04\x95\n\x00\x00\x00\x00\x00\x00\x00G\x80\x00\x00\x00\x00\x00\x00\x00."sv},
      {true, "\x80\x04\x88."sv},
      {false, "\x80\x04\x89."sv},
      {Value(), "\x80\x04N."sv},
  };
  for (const auto& c : cases) EXPECT_EQ(pickle_dump(c.value), c.cpython) << repr(c.value);
}

Value big_record() {
  Map lut;
  for (int i = 0; i < 2500; ++i)
    lut.set("id" + std::to_string(i), List{"line " + std::to_string(i)});
  List batch;
  for (int n : {999, 1000, 1001, 2000}) {
    List items;
    for (int i = 0; i < n; ++i) items.push_back(i);
    batch.push_back(std::move(items));
  }
  return Map{{"lut", std::move(lut)},
             {"batches", std::move(batch)},
             {"one", List{"single"}},
             {"single map", Map{{"k", "v"}}},
             {"long text", std::string(200000, 'x')},
             {"long bytes", Value::bytes(std::string(70000, '\x01'))},
             {"texts", List{"", std::string(255, 'a'), std::string(256, 'b'),
                            std::string(65535, 'c'), std::string(65536, 'd')}}};
}

TEST(PickleWrite, WhatIsWrittenReadsBackEqualInOrder) {
  const Value record = big_record();
  const std::string stream = pickle_dump(record);
  EXPECT_EQ(stream.substr(0, 3), "\x80\x04\x95");
  const Value back = pickle_load(stream);
  EXPECT_EQ(back, record);
  std::vector<std::string> keys;
  for (const auto& [k, v] : back["lut"].as_map()) keys.push_back(k);
  ASSERT_EQ(keys.size(), 2500u);
  EXPECT_EQ(keys[0], "id0");
  EXPECT_EQ(keys[2499], "id2499");
}

TEST(PickleWrite, SharedListsAreWrittenOnceAndComeBackShared) {
  Value big = List{};
  for (int i = 0; i < 1000; ++i) big.as_list().push_back("item " + std::to_string(i));
  List refs(1000, big);
  const Value record = Map{{"refs", std::move(refs)}};
  const std::string stream = pickle_dump(record);
  EXPECT_LT(stream.size(), 20000u);
  const Value back = pickle_load(stream);
  EXPECT_EQ(back, record);
  EXPECT_EQ(detail::TreeAccess::box(back["refs"][std::size_t{0}]),
            detail::TreeAccess::box(back["refs"][999]));
}

TEST(PickleWrite, NestingTheReaderWouldRefuseIsNotWritten) {
  Value v = Value::list();
  for (std::size_t i = 0; i < kMaxNesting - 1; ++i) v = Value(List{std::move(v)});
  EXPECT_EQ(pickle_load(pickle_dump(v)), v);  // the deepest that is accepted
  v = Value(List{std::move(v)});
  EXPECT_THROW(pickle_dump(v), DataError);
}

}  // namespace
}  // namespace verbix
