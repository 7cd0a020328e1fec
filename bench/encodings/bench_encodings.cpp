// Throughput of the text conversions over a 10 MB buffer, beside memcpy of the same buffer.
// Compare the bytes_per_second columns: the ratio is what matters, not the absolute figures.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

#include "storage/mStringTools.h"

namespace {

constexpr size_t kSize = 10 * 1024 * 1024;

// A language file's shape: tab-indented elements, mostly ASCII markup, with accented words
// and now and then another script, as the translators' files hold them.
const Bytes& Utf8Data() {
  static Bytes data = [] {
    Bytes b;
    b.reserve(kSize + 256);
    std::mt19937 rng(42);
    const char* words[] = {"fichier", "ouvrir", "enregistrer", "annuler", "options", "langue",
                           "traduction", "fermer", "supprimer", "version", "caf\xC3\xA9",
                           "\xC3\xA9l\xC3\xA8ve", "tr\xC3\xA8s", "c\xC5\x93ur", "\xC3\xBC" "ber",
                           "\xE4\xB8\xAD\xE6\x96\x87", "\xE2\x82\xAC", "&amp;", "%s"};
    int n = 0;
    while (b.size() < kSize) {
      b += "\t\t\t\t<String" + std::to_string(++n) + ">";
      int count = 2 + static_cast<int>(rng() % 10);
      for (int k = 0; k < count; ++k) {
        unsigned r = rng() % 100;
        b += words[r < 80 ? r % 10 : 10 + r % 9];
        b += ' ';
      }
      b += "</String" + std::to_string(n) + ">\r\n";
    }
    b.resize(kSize);
    // Do not cut a sequence in half at the end.
    while (!b.empty() && (static_cast<unsigned char>(b.back()) & 0x80)) b.pop_back();
    return b;
  }();
  return data;
}

void BM_Memcpy(benchmark::State& state) {
  const Bytes& src = Utf8Data();
  Bytes dst(src.size(), '\0');
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), src.size());
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * src.size()));
}

void BM_UTF8Decode(benchmark::State& state) {
  const Bytes& src = Utf8Data();
  for (auto _ : state) {
    int mode = mStringTools::ModeUTF8;
    Text t = mStringTools::StrDataToUnicode(src, mode);
    benchmark::DoNotOptimize(t.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * src.size()));
}

void BM_UTF8Encode(benchmark::State& state) {
  int mode = mStringTools::ModeUTF8;
  Text text = mStringTools::StrDataToUnicode(Utf8Data(), mode);
  for (auto _ : state) {
    Bytes b = mStringTools::UTF8_EncodeBytes(text);
    benchmark::DoNotOptimize(b.data());
  }
  // Counted in output bytes, so the figure compares with memcpy of the same data.
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Utf8Data().size()));
}

void BM_IsUTF8(benchmark::State& state) {
  const Bytes& src = Utf8Data();
  for (auto _ : state) benchmark::DoNotOptimize(mStringTools::IsUTF8(src));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * src.size()));
}

void BM_Base64Encode(benchmark::State& state) {
  const Bytes& src = Utf8Data();
  for (auto _ : state) {
    Bytes b = mStringTools::Base64_EncodeData(src);
    benchmark::DoNotOptimize(b.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * src.size()));
}

void BM_Base64Decode(benchmark::State& state) {
  Bytes enc = mStringTools::Base64_EncodeData(Utf8Data());
  for (auto _ : state) {
    Bytes b = mStringTools::Base64_DecodeData(enc);
    benchmark::DoNotOptimize(b.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Utf8Data().size()));
}

}  // namespace

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UTF8Decode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UTF8Encode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IsUTF8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Base64Encode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Base64Decode)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
