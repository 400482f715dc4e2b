// Counts what the value tree costs the allocator on a lang.dat: for each step (loading the
// record, copying it and changing the copy, writing and reading both dialogue forms, comparing
// two records, destroying them) the number of allocations, the bytes they asked for, the most
// bytes live at once, and the time. The counts come from replacing the global operator new and
// delete in this program only; they do not vary from run to run, unlike the times on a busy
// machine. The tree's pool (data/tree_pool.h) takes 64 KiB chunks from operator new: those
// are counted, not the blocks cut from them. Prints one line of JSON per step.
//
//   bench_tree FILE
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <new>
#include <optional>
#include <string>

#include "data/container.h"
#include "data/dialogue_csv.h"
#include "data/dialogue_txt.h"
#include "data/language_data.h"
#include "utils/log_service.h"
#include "utils/memory.h"

namespace {

// Each block carries its size in front, so that delete can count the bytes it gives back.
constexpr std::size_t kHeader = 16;
std::size_t g_count = 0;
std::size_t g_bytes = 0;
std::size_t g_live = 0;
std::size_t g_peak = 0;

void* counted_new(std::size_t n) {
  void* raw = std::malloc(n + kHeader);
  if (!raw) throw std::bad_alloc();
  *static_cast<std::size_t*>(raw) = n;
  ++g_count;
  g_bytes += n;
  g_live += n;
  if (g_live > g_peak) g_peak = g_live;
  return static_cast<char*>(raw) + kHeader;
}

void counted_delete(void* p) noexcept {
  if (!p) return;
  void* raw = static_cast<char*>(p) - kHeader;
  g_live -= *static_cast<std::size_t*>(raw);
  std::free(raw);
}

// One step's figures: allocations, bytes asked for, the peak of live bytes above those live
// before the step, and seconds.
void step(const char* name, const std::function<void()>& fn) {
  const std::size_t count = g_count, bytes = g_bytes, live = g_live;
  g_peak = g_live;
  const auto start = std::chrono::steady_clock::now();
  fn();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf(
      "{\"step\": \"%s\", \"allocations\": %zu, \"bytes\": %zu, \"peak_live\": %zu, "
      "\"seconds\": %.4f}\n",
      name, g_count - count, g_bytes - bytes, g_peak - live, seconds);
  std::fflush(stdout);
}

}  // namespace

void* operator new(std::size_t n) { return counted_new(n); }
void* operator new[](std::size_t n) { return counted_new(n); }
void operator delete(void* p) noexcept { counted_delete(p); }
void operator delete[](void* p) noexcept { counted_delete(p); }
void operator delete(void* p, std::size_t) noexcept { counted_delete(p); }
void operator delete[](void* p, std::size_t) noexcept { counted_delete(p); }

int main(int argc, char** argv) {
  verbix::tune_allocator();  // as the command line and the module do
  if (argc != 2) {
    std::fprintf(stderr, "usage: bench_tree FILE\n");
    return 2;
  }
  using namespace verbix;
  utils.console.write = [](std::string_view) {};
  std::optional<Value> record;
  step("dat_load", [&] { record = dat_load(argv[1]); });
  if (!record) return 1;
  for (const auto& entry : record->as_map().at("sections").as_map())
    SECTIONS.push_back(entry.key());
  std::optional<Value> copy;
  step("copy and change one text", [&] {
    copy = *record;
    Value& lut = (*copy)["text_lut"];
    for (auto& [key, lines] : lut.as_map()) {
      lines = list_value("changed");
      break;
    }
  });
  std::string text;
  step("dat_2_txt", [&] { text = dat_2_txt(*record); });
  std::optional<DialogueRead> txt;
  step("txt_2_dat", [&] { txt = txt_2_dat(text); });
  std::optional<CsvTable> rows;
  step("dat_2_csv", [&] { rows = dat_2_csv(*record); });
  std::optional<DialogueRead> csv;
  step("csv_2_dat", [&] { csv = csv_2_dat(*rows); });
  bool same = false;
  step("compare the two reads", [&] { same = txt->data == csv->data; });
  step("destroy the reads", [&] {
    txt.reset();
    csv.reset();
    rows.reset();
  });
  step("destroy the record and its copy", [&] {
    copy.reset();
    record.reset();
  });
  std::printf("{\"step\": \"reads equal\", \"value\": %s}\n", same ? "true" : "false");
  return 0;
}
