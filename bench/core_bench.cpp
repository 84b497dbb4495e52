// Speed of turning a message body into text: RTF-encapsulated HTML back to HTML, then
// HTML to text with content markers, on a 50 KB body as a newsletter would have it,
// and on bodies shaped to provoke rescans.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "core/html_text.h"
#include "core/property_text.h"
#include "core/rtf_html.h"
#include "mapi/html_encapsulation.h"

namespace quorvel {
namespace {

constexpr std::size_t kBodyBytes = 50 * 1024;

// About 50 KB of newsletter HTML: tables, styled paragraphs, links, embedded and
// remote images, character references, line breaks.
std::string NewsletterHtml() {
  std::string html =
      "<!DOCTYPE html><HTML><HEAD><META http-equiv=\"Content-Type\" content=\"text/html\">"
      "<STYLE>p { margin: 0 } td { font-family: Arial }</STYLE></HEAD>\r\n"
      "<BODY bgColor=#ffffff>\r\n<TABLE width=\"100%\" border=0>\r\n";
  for (int i = 0; html.size() < kBodyBytes - 200; ++i) {
    std::string n = std::to_string(i);
    html += "<TR><TD class=\"item\"><P style=\"FONT-SIZE: 10pt\">Item " + n +
            ": Our weekly selection &amp; offers, now with caf\xe9 prices &euro; 9.99"
            "<BR>\r\nRead the <A href=\"http://news.example.com/articles/" +
            n + "?utm_source=mail&amp;id=" + n +
            "\">full article</A> or "
            "<a href=\"http://track.example.net/c/" +
            n + "\"><IMG src=\"cid:image" + n +
            "@01D2A3B4.5C6D7E80\" width=120 height=60></a>"
            "<img src=\"http://pixel.example.net/open.gif?u=" +
            n + "\"></P></TD></TR>\r\n";
  }
  html += "</TABLE><DIV>Unsubscribe at any time.</DIV>\r\n</BODY></HTML>\r\n";
  return html;
}

void BM_RtfBodyToText(benchmark::State& state) {
  const std::string rtf = mapi::EncapsulateHtml(NewsletterHtml());
  std::string buffer;
  for (auto _ : state) {
    buffer = rtf;  // the reader's buffer; the conversion consumes it
    std::size_t html = Deencapsulate(buffer.data(), buffer.size());
    std::size_t text = HtmlToText(buffer.data(), html);
    benchmark::DoNotOptimize(text);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rtf.size()));
  state.counters["rtf_bytes"] = static_cast<double>(rtf.size());
  state.counters["messages/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RtfBodyToText);

// The whole body path after the store read: the same plus the body-element wrap.
void BM_BodyTextFromRtf(benchmark::State& state) {
  const std::string rtf = mapi::EncapsulateHtml(NewsletterHtml());
  for (auto _ : state) benchmark::DoNotOptimize(BodyTextFromRtf(rtf));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rtf.size()));
}
BENCHMARK(BM_BodyTextFromRtf);

void BM_HtmlToText(benchmark::State& state) {
  const std::string html = NewsletterHtml();
  std::string buffer;
  for (auto _ : state) {
    buffer = html;
    benchmark::DoNotOptimize(HtmlToText(buffer.data(), buffer.size()));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * html.size()));
}
BENCHMARK(BM_HtmlToText);

// Many alternative tag groups none of which has a later tag: each would rescan the
// rest of the text if looked up naively.
void BM_DeencapsulateAlternativeGroups(benchmark::State& state) {
  std::string rtf = "{\\*\\htmltag0 <p>}";
  for (int i = 1; rtf.size() < kBodyBytes; ++i) {
    rtf += "{\\*\\mhtmltag" + std::to_string(i) + " x}";
  }
  std::string buffer;
  for (auto _ : state) {
    buffer = rtf;
    benchmark::DoNotOptimize(Deencapsulate(buffer.data(), buffer.size()));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rtf.size()));
}
BENCHMARK(BM_DeencapsulateAlternativeGroups);

// Ampersands without semicolons and tags without ends.
void BM_HtmlToTextMalformed(benchmark::State& state) {
  std::string html = "<html><body>";
  while (html.size() < kBodyBytes) html += "a & b &c <a href=\"x\">y</a> <p ";
  std::string buffer;
  for (auto _ : state) {
    buffer = html;
    benchmark::DoNotOptimize(HtmlToText(buffer.data(), buffer.size()));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * html.size()));
}
BENCHMARK(BM_HtmlToTextMalformed);

}  // namespace
}  // namespace quorvel
