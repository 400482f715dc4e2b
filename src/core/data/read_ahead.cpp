#include "data/read_ahead.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

#include <algorithm>
#include <cstring>
#include <new>
#include <system_error>

namespace verbix {

namespace {
constexpr std::size_t kSpares = 2;
}  // namespace

ReadAhead::Pages::Pages(std::size_t size) : size_(size) {
#ifdef _WIN32
  data_ = static_cast<char*>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (!data_) throw std::bad_alloc();
#else
  void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  data_ = static_cast<char*>(p);
#endif
}

ReadAhead::Pages::~Pages() {
  if (!data_) return;
#ifdef _WIN32
  VirtualFree(data_, 0, MEM_RELEASE);
#else
  munmap(data_, size_);
#endif
}

ReadAhead::ReadAhead(ByteSource& inner, std::size_t block_size, std::size_t blocks)
    : inner_(inner),
      block_size_(std::max<std::size_t>(block_size, 1)),
      blocks_(std::max<std::size_t>(blocks, 1)) {
  try {
    thread_ = std::thread(&ReadAhead::produce, this);
  } catch (const std::system_error&) {
    direct_ = true;
  }
}

ReadAhead::~ReadAhead() {
  if (!thread_.joinable()) return;
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

bool ReadAhead::fill(Block& block) {
  block.size = 0;
  while (block.size < block_size_) {
    const std::size_t got = inner_.read(block.bytes.data() + block.size, block_size_ - block.size);
    if (got == 0) return false;
    block.size += got;
  }
  return true;
}

void ReadAhead::produce() {
  for (;;) {
    Block block;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return stop_ || full_.size() < blocks_; });
      if (stop_) return;
      if (!spare_.empty()) {
        block = std::move(spare_.back());
        spare_.pop_back();
      }
    }
    bool more = false;
    std::exception_ptr failure;
    try {
      if (!block.bytes.data()) block.bytes = Pages(block_size_);
      more = fill(block);
    } catch (...) {
      // Handed to the reader after the bytes read before it.
      failure = std::current_exception();
    }
    {
      const std::lock_guard lock(mutex_);
      if (block.size > 0) full_.push_back(std::move(block));
      if (failure || !more) {
        failure_ = failure;
        ended_ = true;
      }
    }
    changed_.notify_all();
    if (failure || !more) return;
  }
}

bool ReadAhead::next_block() {
  std::unique_lock lock(mutex_);
  // A few buffers are kept for the thread to fill again; the others go, so that memory
  // held for reading ahead falls as the decoded record grows.
  if (current_.bytes.data() && spare_.size() < kSpares) spare_.push_back(std::move(current_));
  current_ = Block{};
  pos_ = 0;
  changed_.wait(lock, [&] { return !full_.empty() || ended_; });
  if (full_.empty()) {
    if (failure_) std::rethrow_exception(failure_);
    return false;
  }
  current_ = std::move(full_.front());
  full_.pop_front();
  lock.unlock();
  changed_.notify_all();  // room for the thread to read another block
  return true;
}

std::size_t ReadAhead::read(char* dst, std::size_t n) {
  if (direct_) return inner_.read(dst, n);
  if (n == 0) return 0;
  if (pos_ == current_.size && !next_block()) return 0;
  const std::size_t take = std::min(n, current_.size - pos_);
  std::memcpy(dst, current_.bytes.data() + pos_, take);
  pos_ += take;
  return take;
}

void ReadAhead::finish() { read_to_end(*this); }

}  // namespace verbix
