// A source that reads another one on a thread of its own, a few blocks ahead of its reader:
// loading a container file inflates the next blocks while the pickle reader decodes the
// ones before, so that the load takes about as long as the slower of the two instead of
// their sum.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "data/byte_stream.h"

namespace verbix {

class ReadAhead : public ByteSource {
 public:
  // Reads `inner` (which must outlive this) in blocks of `block_size` bytes, holding at most
  // `blocks` of them unread (32 MB by default: enough for the inflating to run on through
  // the images while the dialogue tables before them are decoded). When no thread can be
  // started, reads it directly instead.
  explicit ReadAhead(ByteSource& inner, std::size_t block_size = std::size_t{1} << 18,
                     std::size_t blocks = 128);
  // Stops the reading thread (it finishes the block it is filling) and waits for it.
  ~ReadAhead() override;
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // The inner source's bytes in order; once they are all read, what reading it threw (again
  // on every later call), else 0.
  std::size_t read(char* dst, std::size_t n) override;
  // Reads on to the end of the inner source, discarding the bytes; throws as read.
  void finish();

 private:
  // Memory straight from the system, given straight back: from the C library's heap, freed
  // buffers would stay resident among the blocks of the record being decoded.
  class Pages {
   public:
    Pages() = default;
    explicit Pages(std::size_t size);
    Pages(Pages&& o) noexcept : data_(std::exchange(o.data_, nullptr)), size_(o.size_) {}
    Pages& operator=(Pages&& o) noexcept {
      std::swap(data_, o.data_);
      std::swap(size_, o.size_);
      return *this;
    }
    ~Pages();
    char* data() const noexcept { return data_; }

   private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
  };

  struct Block {
    Pages bytes;
    std::size_t size = 0;
  };

  void produce();
  // Fills the block from the inner source; false once the source has ended.
  bool fill(Block& block);
  // Makes the next block current; false at the end (after rethrowing a failure).
  bool next_block();

  ByteSource& inner_;
  const std::size_t block_size_;
  const std::size_t blocks_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Block> full_;      // read from the source, not yet handed out
  std::vector<Block> spare_;    // handed out and given back, to be filled again
  bool ended_ = false;          // the thread has queued its last block
  bool stop_ = false;           // the reader is gone: the thread stops
  std::exception_ptr failure_;  // what the inner source threw

  Block current_;        // the block being handed out
  std::size_t pos_ = 0;  // bytes of current_ already handed out
  bool direct_ = false;  // no thread could be started
  std::thread thread_;   // started last, once every other member is ready
};

}  // namespace verbix
