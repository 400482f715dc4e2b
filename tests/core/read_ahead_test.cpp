#include "data/read_ahead.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <limits>
#include <string>
#include <thread>

#include "utils/data_error.h"

namespace verbix {
namespace {

// A deterministic byte sequence of a given length, handed out in reads of uneven sizes; it
// throws DataError("stream broken") once `fail_at` bytes are out. Reads happen on the
// ReadAhead's thread, so the counters are atomic.
class TestSource : public ByteSource {
 public:
  explicit TestSource(std::size_t length,
                      std::size_t fail_at = std::numeric_limits<std::size_t>::max())
      : length_(length), fail_at_(fail_at) {}

  static char byte_at(std::size_t i) { return static_cast<char>((i * 131 + i / 977) & 0xFF); }

  std::size_t read(char* dst, std::size_t n) override {
    const std::size_t pos = given.load();
    if (pos >= fail_at_) throw DataError("stream broken");
    ++calls;
    const std::size_t limit = std::min(length_, fail_at_);
    const std::size_t take = std::min({n, limit - pos, 1 + (calls * 37) % 1500});
    for (std::size_t i = 0; i < take; ++i) dst[i] = byte_at(pos + i);
    given += take;
    if (pos + take >= length_) ended = true;
    return take;
  }

  std::atomic<std::size_t> given{0};
  std::atomic<bool> ended{false};

 private:
  std::size_t length_;
  std::size_t fail_at_;
  std::size_t calls = 0;
};

std::string expected_bytes(std::size_t n) {
  std::string out(n, '\0');
  for (std::size_t i = 0; i < n; ++i) out[i] = TestSource::byte_at(i);
  return out;
}

// Reads everything in reads of sizes that cycle through small, odd and larger than a block.
std::string read_all(ReadAhead& ahead) {
  static constexpr std::size_t kSizes[] = {1, 7, 1000, 4096, 3, 10000};
  std::string out;
  char buf[10000];
  for (std::size_t i = 0;; ++i) {
    const std::size_t got = ahead.read(buf, kSizes[i % std::size(kSizes)]);
    if (got == 0) return out;
    out.append(buf, got);
  }
}

TEST(ReadAhead, HandsOutEveryByteInOrderWhateverTheSizesOfReads) {
  for (std::size_t length : {0u, 1u, 999u, 1000u, 3333u, 250000u}) {
    TestSource source(length);
    ReadAhead ahead(source, 1000, 3);
    EXPECT_EQ(read_all(ahead), expected_bytes(length)) << length;
    char c;
    EXPECT_EQ(ahead.read(&c, 1), 0u);  // the end stays the end
    EXPECT_EQ(ahead.read(&c, 1), 0u);
  }
}

TEST(ReadAhead, AFailureComesAfterTheBytesReadBeforeItAndStays) {
  for (std::size_t fail_at : {0u, 1u, 2500u, 3000u}) {
    TestSource source(10000, fail_at);
    ReadAhead ahead(source, 1000, 2);
    std::string got;
    char buf[700];
    try {
      while (const std::size_t n = ahead.read(buf, sizeof buf)) got.append(buf, n);
      ADD_FAILURE() << "no failure at " << fail_at;
    } catch (const DataError& e) {
      EXPECT_STREQ(e.what(), "stream broken");
    }
    EXPECT_EQ(got, expected_bytes(fail_at)) << fail_at;
    EXPECT_THROW(ahead.read(buf, 1), DataError);
    EXPECT_THROW(ahead.finish(), DataError);
  }
}

TEST(ReadAhead, FinishReadsTheSourceToItsEnd) {
  TestSource source(123456);
  ReadAhead ahead(source, 1000, 4);
  char buf[10];
  ASSERT_EQ(ahead.read(buf, sizeof buf), sizeof buf);
  ahead.finish();
  EXPECT_TRUE(source.ended);
  EXPECT_EQ(ahead.read(buf, 1), 0u);
}

TEST(ReadAhead, ReadsOnlyABoundedWayAheadAndStopsWhenTheReaderGoes) {
  // An endless source (a decompression bomb, say) whose reader stops early: the thread must
  // neither run on without limit nor keep the destructor waiting.
  TestSource source(std::numeric_limits<std::size_t>::max());
  {
    ReadAhead ahead(source, 1000, 5);
    char buf[10];
    ASSERT_EQ(ahead.read(buf, sizeof buf), sizeof buf);
    EXPECT_EQ(std::string(buf, sizeof buf), expected_bytes(sizeof buf));
    // The block handed out and five queued; then the thread waits for room.
    for (int i = 0; i < 2000 && source.given < 6000; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(source.given, 6000u);
  }
}

}  // namespace
}  // namespace verbix
