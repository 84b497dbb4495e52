// Speed of the compressed-RTF codec on a 50 KB RTF body (HTML encapsulated in RTF, as
// the mail client writes it): decoding the compressed and the uncompressed form, and
// encoding.
#include <benchmark/benchmark.h>

#include <string>

#include "mapi/compressed_rtf.h"
#include "mapi/html_encapsulation.h"

namespace quorvel {
namespace {

// About 50 KB of RTF from a newsletter's HTML: repeated markup (which compresses well)
// around varying text.
std::string NewsletterRtf() {
  std::string html = "<html><head><style>td { font-family: Arial }</style></head><body><table>";
  for (int i = 0; html.size() < 40 * 1024; ++i) {
    const std::string n = std::to_string(i * 7919 % 100'003);
    html += "<tr><td><p style=\"font-size: 10pt\">Offer " + n + ": prices from \xe9 " + n +
            ".99, <a href=\"http://shop.example.com/item/" + n +
            "\">see the article</a> <img src=\"cid:img" + n + "@example\"></p></td></tr>\r\n";
  }
  html += "</table></body></html>\r\n";
  return mapi::EncapsulateHtml(html);
}

void BM_DecompressRtf(benchmark::State& state) {
  const std::string rtf = NewsletterRtf();
  const std::string compressed = mapi::CompressRtf(rtf);
  for (auto _ : state) {
    auto decoded = mapi::DecompressRtf(compressed);
    benchmark::DoNotOptimize(decoded);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rtf.size()));
  state.counters["rtf_bytes"] = static_cast<double>(rtf.size());
  state.counters["compressed_bytes"] = static_cast<double>(compressed.size());
}
BENCHMARK(BM_DecompressRtf)->Unit(benchmark::kMicrosecond);

void BM_DecompressUncompressedRtf(benchmark::State& state) {
  const std::string rtf = NewsletterRtf();
  const std::string wrapped = mapi::WrapUncompressedRtf(rtf);
  for (auto _ : state) {
    auto decoded = mapi::DecompressRtf(wrapped);
    benchmark::DoNotOptimize(decoded);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rtf.size()));
}
BENCHMARK(BM_DecompressUncompressedRtf)->Unit(benchmark::kMicrosecond);

void BM_CompressRtf(benchmark::State& state) {
  const std::string rtf = NewsletterRtf();
  for (auto _ : state) benchmark::DoNotOptimize(mapi::CompressRtf(rtf));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rtf.size()));
}
BENCHMARK(BM_CompressRtf)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quorvel
