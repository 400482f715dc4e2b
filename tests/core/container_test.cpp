#include "data/container.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "data/pickle.h"
#include "data/zlib_codec.h"
#include "test_support.h"
#include "utils/data_error.h"
#include "utils/paths.h"

namespace verbix {
namespace {

using namespace std::literals;
using testing::read_bytes;
using testing::UtilsTest;
using testing::write_bytes;

Value small_record() {
  return Map{{"ver_hash", "Episode 4 : 0123456789abcdefABCD"},
             {"lng_name",
              "Fran\xc3\xa7"
              "ais"},
             {"lng_info", List{"a", "b", "c"}},
             {"fnt_size", 28},
             {"fnt_data", Value()},
             {"img_data", Map{{"img/ui/title", Value::bytes(std::string("\x89PNG\0\x01", 6))}}},
             {"sections", Map{{"ch01.json", List{Map{{"name", "anna"}, {"text", List{"x1"}}}}}}}};
}

// The last line the log echoed.
std::string last_line(const std::vector<std::string>& lines) {
  return lines.empty() ? "" : lines.back();
}

// -- Saving and loading --

using DatFile = UtilsTest;

TEST_F(DatFile, SavedRecordLoadsBackEqualFromAZlibStreamAtLevelSix) {
  const std::string path = tmp / "new/folder/lang.dat";
  ASSERT_EQ(dat_save(path, small_record()), 0);
  EXPECT_EQ(last_line(echoed()), "DAT file saved: " + full_path(path));
  const std::string bytes = read_bytes(path);
  EXPECT_EQ(bytes.substr(0, 2), "\x78\x9c");
  const std::optional<Value> back = dat_load(path);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, small_record());
  EXPECT_EQ(last_line(echoed()), "DAT file loaded: " + full_path(path));
  EXPECT_TRUE(utils._errors.empty());
  // The file is the record's pickle, compressed whole.
  EXPECT_EQ(pickle_load(zlib_decompress(bytes)), small_record());
}

TEST_F(DatFile, SavingReplacesTheFileWholeAndLeavesNoTemporaryFile) {
  const std::string path = tmp / "tool.cfg";
  write_bytes(path, "old contents that are longer than the new ones will be");
  ASSERT_EQ(dat_save(path, Map{{"a", 1}}), 0);
  EXPECT_EQ(*dat_load(path), Value(Map{{"a", 1}}));
  std::size_t files = 0;
  for (const auto& e : std::filesystem::directory_iterator(fs_path(tmp.path())))
    files += e.is_regular_file();
  EXPECT_EQ(files, 1u);
}

TEST_F(DatFile, SavingOntoAFolderIsAnIOErrorAndReturnsOne) {
  const std::string path = tmp / "taken";
  std::filesystem::create_directories(fs_path(path));
  EXPECT_EQ(dat_save(path, Map{{"a", 1}}), 1);
  ASSERT_EQ(utils._errors.size(), 1u);
  const std::string tail = ": '" + path + "'): DAT save IOError " + full_path(path);
#ifdef _WIN32
  // A folder cannot be replaced: access denied, in the system's own words.
  EXPECT_EQ(utils._errors[0].rfind("ERROR ([WinError 5] ", 0), 0u) << utils._errors[0];
  EXPECT_TRUE(utils._errors[0].ends_with(tail)) << utils._errors[0];
#else
  EXPECT_EQ(utils._errors[0], "ERROR ([Errno 21] Is a directory" + tail);
#endif
}

TEST_F(DatFile, ARecordTooDeepToSaveThrowsBeforeAnythingIsWritten) {
  const std::string path = tmp / "lang.dat";
  write_bytes(path, "old");
  Value deep = Value::list();
  for (std::size_t i = 0; i < kMaxNesting; ++i) deep = Value(List{std::move(deep)});
  EXPECT_THROW(dat_save(path, deep), DataError);
  EXPECT_EQ(read_bytes(path), "old");
  EXPECT_TRUE(echoed().empty());
}

TEST_F(DatFile, AMissingFileIsAnInformationLineAndNone) {
  const std::string path = tmp / "absent.dat";
  EXPECT_FALSE(dat_load(path));
  ASSERT_EQ(echoed().size(), 1u);
  EXPECT_EQ(echoed()[0], "DAT file not found: " + full_path(path));
  EXPECT_TRUE(utils._errors.empty());
}

TEST_F(DatFile, AFolderIsAnIOError) {
  const std::string path = tmp / "folder.dat";
  std::filesystem::create_directories(fs_path(path));
  EXPECT_FALSE(dat_load(path));
  ASSERT_EQ(utils._errors.size(), 1u);
  EXPECT_EQ(utils._errors[0], "ERROR ([Errno 21] Is a directory: '" + path +
                                  "'): DAT load IOError: " + full_path(path));
}

// -- Broken and hostile files: each is "DAT load error: " and none --

class DatDamage : public UtilsTest {
 protected:
  // Loads the bytes as a container file; returns the error line (empty when it loaded).
  std::string load_error(std::string_view bytes) {
    const std::string path = tmp / "lang.dat";
    write_bytes(path, bytes);
    utils._errors.clear();
    const std::optional<Value> got = dat_load(path);
    if (got) return "";
    EXPECT_EQ(utils._errors.size(), 1u);
    return utils._errors.empty() ? "(no error line)" : utils._errors.back();
  }
  std::string load_error_line(const std::string& why) {
    return "ERROR (" + why + "): DAT load error: " + full_path(tmp / "lang.dat");
  }
};

TEST_F(DatDamage, ATextFileIsNotAZlibStream) {
  EXPECT_EQ(load_error("plain text\n"),
            load_error_line("Error -3 while decompressing data: incorrect header check"));
}

TEST_F(DatDamage, ZlibOfGarbageIsNotAPickle) {
  EXPECT_EQ(load_error(zlib_compress("\xff garbage")),
            load_error_line("invalid load key, '\\xff'."));
}

TEST_F(DatDamage, EveryCutOfAValidFileIsAnError) {
  const std::string file = container_encode(small_record());
  ASSERT_EQ(load_error(file), "");
  for (std::size_t n = 0; n < file.size(); ++n) {
    const std::string line = load_error(std::string_view(file).substr(0, n));
    EXPECT_EQ(line, load_error_line("Error -5 while decompressing data: incomplete or truncated "
                                    "stream"))
        << "cut at " << n;
  }
}

TEST_F(DatDamage, EveryFlippedByteOfAValidFileIsAnError) {
  const std::string file = container_encode(small_record());
  for (std::size_t i = 0; i < file.size(); ++i) {
    std::string damaged = file;
    damaged[i] = static_cast<char>(damaged[i] ^ 0x5A);
    const std::string line = load_error(damaged);
    EXPECT_EQ(line.rfind("ERROR (", 0), 0u) << "byte " << i;
    EXPECT_NE(line.find("): DAT load error: "), std::string::npos) << "byte " << i << ": " << line;
  }
}

TEST_F(DatDamage, ZlibErrorsAreReportedBeforePickleErrors) {
  // A broken pickle inside a broken zlib stream: the stream's error is the one reported.
  const std::string file = zlib_compress("\xff garbage and more");
  EXPECT_EQ(load_error(file.substr(0, file.size() - 3)),
            load_error_line("Error -5 while decompressing data: incomplete or truncated stream"));
}

TEST_F(DatDamage, ACallOfOsSystemIsRefusedUnrun) {
  const std::string marker = tmp / "ran";
  const std::string stream = "cos\nsystem\n(Vtouch " + marker + "\ntR.";
  EXPECT_EQ(load_error(zlib_compress(stream)), load_error_line("global 'os.system' is forbidden"));
  EXPECT_FALSE(path_exists(marker));
}

TEST_F(DatDamage, AMillionLevelsOfNesting) {
  std::string stream = "\x80\x04";
  stream.append(1000000, ']');
  stream.append(999999, 'a');
  stream += '.';
  EXPECT_EQ(load_error(zlib_compress(stream)),
            load_error_line("pickle data nested deeper than 1000 levels"));
}

TEST_F(DatDamage, AMemoBomb) {
  std::string stream = "\x80\x04](";
  stream.append(1000, 'N');
  stream += "e\x94";
  for (char level = 0; level < 3; ++level) {
    stream += "](";
    for (int i = 0; i < 1000; ++i) stream += std::string("h") + level;
    stream += "e\x94";
  }
  stream += '.';
  // A small file's stream may build a value for every 16 bytes of its 64 MiB allowance.
  EXPECT_EQ(load_error(zlib_compress(stream)),
            load_error_line("pickle data expands to more than 4194304 values"));
}

TEST_F(DatDamage, AnIntegerOfAMillionDigits) {
  std::string stream = "\x80\x02L";
  stream.append(1000000, '9');
  stream += "L\n.";
  EXPECT_EQ(load_error(zlib_compress(stream)),
            load_error_line("int beyond 64 bits in pickle data"));
}

TEST_F(DatDamage, ABadChecksumAfterTheRecordIsAnError) {
  std::string file = container_encode(small_record());
  file.back() = static_cast<char>(file.back() ^ 1);
  EXPECT_EQ(load_error(file), load_error_line("Error -3 while decompressing data: incorrect data "
                                              "check"));
}

TEST(Container, EveryLevelReadsBackWhicheverLibraryCompressedIt) {
  // Below the default level the stream may come from libdeflate: zlib must read it back.
  for (const int level : {1, 3, kZlibLevel})
    EXPECT_EQ(container_decode(container_encode(small_record(), level)), small_record()) << level;
}

TEST(Inflate, OutputBeyondTheBoundIsRefused) {
  const std::string zeros = zlib_compress(std::string(1 << 20, '\0'));
  EXPECT_EQ(zlib_decompress(zeros).size(), std::size_t{1} << 20);
  try {
    zlib_decompress(zeros, 1000);
    FAIL();
  } catch (const DataError& e) {
    EXPECT_STREQ(e.what(), "decompressed data larger than 1000 bytes");
  }
}

// One-shot inflation tries libdeflate in a buffer it grows, and leaves what that declines to
// zlib: an output of exactly the bound fits, broken streams keep Python's wording.
TEST(Inflate, OneShotBoundsAndErrorsMatchTheStreamingInflater) {
  const std::string big(3 << 20, 'a');
  EXPECT_EQ(zlib_decompress(zlib_compress(big), big.size()), big);
  const std::string stream = zlib_compress(big);
  const auto error_of = [](std::string_view bytes) -> std::string {
    try {
      zlib_decompress(bytes);
    } catch (const DataError& e) {
      return e.what();
    }
    return "no error";
  };
  EXPECT_EQ(error_of(std::string_view(stream).substr(0, stream.size() / 2)),
            "Error -5 while decompressing data: incomplete or truncated stream");
  std::string flipped = stream;
  flipped.back() = static_cast<char>(flipped.back() ^ 1);
  EXPECT_EQ(error_of(flipped), "Error -3 while decompressing data: incorrect data check");
}

TEST(Inflate, DataAfterTheStreamIsIgnoredAsPythonDoes) {
  EXPECT_EQ(zlib_decompress(zlib_compress("hello") + "junk"), "hello");
}

// -- Raw byte files --

using BuffFile = UtilsTest;

TEST_F(BuffFile, BytesGoAndComeBackUnchangedIntoANewFolder) {
  const std::string path = tmp / "img/ui/title.png";
  const std::string bytes("\x89PNG\r\n\x1a\n\0\xff", 10);
  EXPECT_EQ(buff_save(path, bytes), 0);
  EXPECT_EQ(buff_load(path), bytes);
}

TEST_F(BuffFile, LoadingAMissingFileEndsTheProcess) {
  const std::string path = tmp / "absent.png";
  EXPECT_EXIT(
      {
        utils.CSH_WAIT = false;
        utils.console.write = [](std::string_view t) {
          std::fwrite(t.data(), 1, t.size(), stderr);
        };
        buff_load(path);
      },
      ::testing::ExitedWithCode(1),
      "Failed to load file: \\[Errno 2\\] No such file or directory: '.*absent\\.png'");
}

#ifdef _WIN32
constexpr const char* kFolderSaveError = "Failed to save file: \\[WinError 5\\]";
#else
constexpr const char* kFolderSaveError = "Failed to save file: \\[Errno 21\\] Is a directory";
#endif

TEST_F(BuffFile, SavingOntoAFolderEndsTheProcess) {
  const std::string path = tmp / "taken";
  std::filesystem::create_directories(fs_path(path));
  EXPECT_EXIT(
      {
        utils.CSH_WAIT = false;
        utils.console.write = [](std::string_view t) {
          std::fwrite(t.data(), 1, t.size(), stderr);
        };
        buff_save(path, "x");
      },
      ::testing::ExitedWithCode(1), kFolderSaveError);
}

// -- Encoded blob text --

using BlobText = UtilsTest;

TEST_F(BlobText, EncodesAsPythonDoes) {
  // base64.b64encode(zlib.compress(b"hello")) and base64.b64encode(b"hello")
  EXPECT_EQ(buff_2_str("hello"), "eJzLSM3JyQcABiwCFQ==");
  EXPECT_EQ(buff_2_str("hello", false), "aGVsbG8=");
  EXPECT_EQ(buff_2_str("", true), "");
  EXPECT_EQ(buff_2_str("", false), "");
  EXPECT_EQ(str_2_buff(""), "");
  EXPECT_EQ(str_2_buff("", false), "");
}

TEST_F(BlobText, EveryBlobComesBackWithBothFlagsOnOrOff) {
  std::string blob;
  for (int i = 0; i < 3000; ++i) blob += static_cast<char>((i * 7919) & 0xFF);
  for (std::size_t n : {1u, 2u, 3u, 4u, 100u, 3000u}) {
    const std::string_view b(blob.data(), n);
    EXPECT_EQ(str_2_buff(buff_2_str(b)), b) << n;
    EXPECT_EQ(str_2_buff(buff_2_str(b, false), false), b) << n;
  }
}

TEST_F(BlobText, StrayCharactersAreSkipped) {
  EXPECT_EQ(str_2_buff("eJzLSM3J\nyQcABiwCFQ==", true), "hello");
  EXPECT_EQ(str_2_buff("a!G@V#s$b%G^8&=", false), "hello");
}

TEST_F(BlobText, TextThatIsNotAZlibStreamEndsTheProcess) {
  EXPECT_EXIT(
      {
        utils.CSH_WAIT = false;
        utils.console.write = [](std::string_view t) {
          std::fwrite(t.data(), 1, t.size(), stderr);
        };
        str_2_buff("aGVsbG8=");
      },
      ::testing::ExitedWithCode(1),
      "aGVsbG8=\n.*Failed to decompress and decode string: Error -3 while decompressing data: "
      "incorrect header check");
}

TEST_F(BlobText, BadPaddingEndsTheProcess) {
  EXPECT_EXIT(
      {
        utils.CSH_WAIT = false;
        utils.console.write = [](std::string_view t) {
          std::fwrite(t.data(), 1, t.size(), stderr);
        };
        str_2_buff("aGVsbG8", false);
      },
      ::testing::ExitedWithCode(1), "Failed to decompress and decode string: Incorrect padding");
}

TEST(BlobRepr, ShowsTheFirstBytesAndTheLength) {
  EXPECT_EQ(blob_repr("ab\x00'"sv), "b\"ab\\x00'\"");
  const std::string big(300, 'x');
  EXPECT_EQ(blob_repr(big), "b'" + std::string(256, 'x') + "'... (300 bytes)");
}

// -- Hashes and structure --

TEST(HashString, IsAPrefixOfTheSha256HexDigest) {
  const std::string full = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
  EXPECT_EQ(hash_string("abc"), full.substr(0, 16));
  EXPECT_EQ(hash_string("abc", 5), full.substr(0, 5));
  EXPECT_EQ(hash_string("abc", 0), full.substr(0, 1));
  EXPECT_EQ(hash_string("abc", -5), full.substr(0, 1));
  EXPECT_EQ(hash_string("abc", 64), full);
  EXPECT_EQ(hash_string("abc", 100), full);
}

struct MatchCase {
  const char* name;
  Value a, b;
  long long depth;
  bool match;
};

TEST(StructsMatch, ComparesKeySetsAndTheFirstNestedMapOnly) {
  const Value inner = Map{{"x", 1}};
  const MatchCase cases[] = {
      {"a map and a list", Map{{"a", 1}}, List{}, 1, false},
      {"a list and a map", List{}, Map{}, 1, false},
      {"two maps at depth 0 whatever they hold", Map{{"a", 1}}, Map{{"b", 2}}, 0, true},
      {"{a, b} and {b, a}", Map{{"a", 1}, {"b", 2}}, Map{{"b", "x"}, {"a", Value()}}, 1, true},
      {"a key missing", Map{{"a", 1}, {"b", 2}}, Map{{"a", 1}}, 1, false},
      {"an extra key", Map{{"a", 1}}, Map{{"a", 1}, {"c", 2}}, 1, false},
      {"the first map decides, later maps differ", Map{{"m", inner}, {"n", Map{{"p", 1}}}},
       Map{{"m", inner}, {"n", List{}}}, 1, true},
      {"the first map of a against a non-map", Map{{"s", 1}, {"m", inner}},
       Map{{"s", 1}, {"m", "text"}}, 1, false},
      {"nested keys are not compared at depth 1", Map{{"m", inner}}, Map{{"m", Map{{"y", 1}}}}, 1,
       true},
      {"nested keys are compared at depth 2", Map{{"m", inner}}, Map{{"m", Map{{"y", 1}}}}, 2,
       false},
      {"nested key sets match at depth 2", Map{{"m", inner}}, Map{{"m", Map{{"x", "other"}}}}, 2,
       true},
  };
  for (const auto& c : cases) EXPECT_EQ(structs_match(c.a, c.b, c.depth), c.match) << c.name;
}

}  // namespace
}  // namespace verbix
