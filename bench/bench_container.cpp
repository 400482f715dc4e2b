// Times one step of the container file on a given lang.dat and prints it as one line of
// JSON: {"step", "wall", "cpu", "peak_rss", "bytes"}. Each step runs in a process of its own
// (bench_container.py starts them), so that the peak memory is the step's own.
//
//   bench_container inflate FILE      zlib inflate alone, streamed (output discarded)
//   bench_container inflate-all FILE  zlib inflate alone into memory, as zlib.decompress
//   bench_container load FILE         dat_load: inflate and decode into the value tree
//   bench_container deflate FILE      zlib deflate alone of the file's decompressed bytes
//   bench_container save FILE OUT     dat_save of the file's record (timed without the load)
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "data/container.h"
#include "data/zlib_codec.h"
#include "utils/file_io.h"
#include "utils/log_service.h"
#include "utils/memory.h"

namespace {

double cpu_seconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The peak resident memory of this process (VmHWM: unlike getrusage's maximum, it starts
// afresh at exec and does not carry the parent's).
long peak_rss_bytes() {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return -1;
  char line[256];
  long kb = -1;
  while (std::fgets(line, sizeof line, f))
    if (std::sscanf(line, "VmHWM: %ld kB", &kb) == 1) break;
  std::fclose(f);
  return kb * 1024;
}

class Timer {
 public:
  Timer() : wall_(std::chrono::steady_clock::now()), cpu_(cpu_seconds()) {}
  void report(const char* step, std::size_t bytes) const {
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_).count();
    std::printf(
        "{\"step\": \"%s\", \"wall\": %.6f, \"cpu\": %.6f, \"peak_rss\": %ld, "
        "\"bytes\": %zu}\n",
        step, wall, cpu_seconds() - cpu_, peak_rss_bytes(), bytes);
  }

 private:
  std::chrono::steady_clock::time_point wall_;
  double cpu_;
};

}  // namespace

int main(int argc, char** argv) {
  verbix::tune_allocator();  // as the command line and the module do
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: bench_container inflate|inflate-all|load|deflate|save FILE [OUT]\n");
    return 2;
  }
  const std::string step = argv[1];
  const std::string file = argv[2];
  verbix::utils.console.write = [](std::string_view) {};  // log lines are not timed
  verbix::utils.LOG_WAIT = true;

  if (step == "inflate") {
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) return 1;
    const Timer timer;
    verbix::Inflater inflater(
        [&](char* buf, std::size_t cap) { return std::fread(buf, 1, cap, f); });
    std::string out(1 << 18, '\0');
    std::size_t total = 0;
    while (const std::size_t got = inflater.read(out.data(), out.size())) total += got;
    timer.report("inflate", total);
    std::fclose(f);
  } else if (step == "inflate-all") {
    const Timer timer;
    const std::string raw = verbix::zlib_decompress(verbix::read_file(file));
    timer.report("inflate-all", raw.size());
  } else if (step == "load") {
    const Timer timer;
    const auto record = verbix::dat_load(file);
    if (!record) return 1;
    timer.report("load", record->size());
  } else if (step == "deflate") {
    const std::string raw = verbix::zlib_decompress(verbix::read_file(file));
    const Timer timer;
    const std::string packed = verbix::zlib_compress(raw);
    timer.report("deflate", packed.size());
  } else if (step == "save" && argc > 3) {
    const auto record = verbix::dat_load(file);
    if (!record) return 1;
    const Timer timer;
    if (verbix::dat_save(argv[3], *record) != 0) return 1;
    timer.report("save", 0);
  } else {
    return 2;
  }
  return 0;
}
