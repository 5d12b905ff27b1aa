// Throughput of the primitives the editor leans on, over library-sized texts.
#include "text.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>

namespace {

// About 100 MiB of area sections, as a library holds them.
const Text& MixedLibrary() {
  static const Text library = [] {
    Text text;
    text.reserve(101 << 20);
    for (int area = 1; TextLength(text) < (100 << 20); ++area) {
      Text number = NumberToText(area);
      text += "[Area." + Text(number.size() < 3 ? 3 - number.size() : 0, '0') + number +
              "]\r\nTitle=Add-on Scenery " + number + "\r\nLocal=Addon Scenery\\Region" +
              number + "\r\nRemote=\r\nActive=TRUE\r\nRequired=FALSE\r\nLayer=" + number +
              "\r\n\r\n";
    }
    return text;
  }();
  return library;
}

// The same, upper-cased: the case-sensitive searches' worst case, every letter a capital.
const Text& Library() {
  static const Text library = UpperText(MixedLibrary());
  return library;
}

// 10 MiB of 'a': every position of the text starts a long partial match.
const Text& Run() {
  static const Text run(10 << 20, 'a');
  return run;
}

void Search(benchmark::State& state, const Text& t, const Text& pattern) {
  for (auto _ : state)
    benchmark::DoNotOptimize(FindText(1, t, pattern));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(t.size()));
}

// First byte rare in the text: the search runs almost entirely in memchr.
void BM_FindAbsentRareFirstByte(benchmark::State& state) {
  Search(state, Library(), "[AREA.NONE]");
}

// First byte everywhere in the text ('T' in TITLE, REMOTE, ACTIVE, TRUE): many short
// partial matches.
void BM_FindAbsentCommonFirstByte(benchmark::State& state) {
  Search(state, Library(), "TITLE=NOT REGISTERED");
}

// The editor's scan of every area header: about a million calls from successive starts.
void BM_FindEveryHeader(benchmark::State& state) {
  const Text& library = Library();
  for (auto _ : state) {
    int count = 0;
    for (int pos = FindText(1, library, "[AREA."); pos != 0; pos = FindText(pos + 1, library, "[AREA."))
      ++count;
    benchmark::DoNotOptimize(count);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(library.size()));
}

// The title search of an ADD: a pattern absent from the library, letters matched without case.
void BM_FindNoCaseAbsent(benchmark::State& state) {
  const Text& library = MixedLibrary();
  for (auto _ : state)
    benchmark::DoNotOptimize(FindTextNoCase(1, library, "Title=Not Registered"));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(library.size()));
}

// A walk over every "=" with memchr, checking each for a layer entry, as the editor's scan
// did before it took 64 bytes at a time.
void BM_WalkEveryEquals(benchmark::State& state) {
  const Text& library = MixedLibrary();
  const Text layer = "LAYER=";
  for (auto _ : state) {
    int count = 0;
    const char* s = library.data();
    const char* end = s + library.size();
    for (const char* q = s + 5; (q = static_cast<const char*>(std::memchr(q, '=', end - q))); ++q)
      count += MatchLengthNoCase(library, static_cast<int>(q - s) - 4, layer) == 6;
    benchmark::DoNotOptimize(count);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(library.size()));
}

void BM_UpperText(benchmark::State& state) {
  const Text& library = Library();
  for (auto _ : state)
    benchmark::DoNotOptimize(UpperText(library));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(library.size()));
}

// The floor for UpperText: the copy of the text that it returns.
void BM_CopyText(benchmark::State& state) {
  const Text& library = Library();
  for (auto _ : state)
    benchmark::DoNotOptimize(Text(library));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(library.size()));
}

void BM_FindAdversarial(benchmark::State& state) {
  Search(state, Run(), Text(9999, 'a') + "b");
}

// The floor to compare the adversarial search with: one pass over the same bytes.
void BM_PlainScanMemchr(benchmark::State& state) {
  const Text& run = Run();
  for (auto _ : state)
    benchmark::DoNotOptimize(std::memchr(run.data(), 'b', run.size()));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(run.size()));
}

void BM_PlainScanCount(benchmark::State& state) {
  const Text& run = Run();
  for (auto _ : state)
    benchmark::DoNotOptimize(std::count(run.begin(), run.end(), 'b'));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(run.size()));
}

BENCHMARK(BM_FindAbsentRareFirstByte)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindAbsentCommonFirstByte)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindEveryHeader)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindNoCaseAbsent)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkEveryEquals)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UpperText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindAdversarial)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainScanMemchr)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainScanCount)->Unit(benchmark::kMillisecond);

}  // namespace
