// Speed of mapping a message file to a message: a 100 KB multipart message (text and
// HTML alternatives, an inline image and a PDF attachment, base64) parsed, and then
// read the way the classifier reads it: headers, sender, body text through the RTF
// body, recipients and attachments.
#include <benchmark/benchmark.h>

#include <string>

#include "core/message_record.h"
#include "core/property_text.h"
#include "mapi/mime/mime_message.h"
#include "mapi/mime/mime_parse.h"
#include "mapi/tags.h"

namespace quorvel {
namespace {

std::string Base64Lines(std::size_t bytes, unsigned seed) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  unsigned x = seed;
  for (std::size_t i = 0; i < bytes * 4 / 3; ++i) {
    x = x * 1103515245u + 12345u;
    out.push_back(kAlphabet[(x >> 16) % 64]);
    if (i % 76 == 75) out += "\r\n";
  }
  return out + "\r\n";
}

std::string MultipartMessage() {
  std::string text, html;
  for (int i = 0; i < 300; ++i) {
    const std::string n = std::to_string(i);
    text += "Line " + n + " of the weekly report: figures, offers and the usual notes.\r\n";
    html += "<p>Line " + n + " of the <b>weekly report</b>: <a href=\"http://example.com/r/" + n +
            "\">figures</a>, offers &amp; notes.</p>\r\n";
  }
  return "Return-Path: <news@example.com>\r\n"
         "Received: from mail.example.com (mail.example.com [192.0.2.1])\r\n"
         "\tby mx.example.org with ESMTP id 12345; Sun, 6 Dec 2026 08:00:00 +0000\r\n"
         "From: \"Weekly News\" <news@example.com>\r\n"
         "To: Ann Smith <ann@example.org>, bob@example.org\r\n"
         "Cc: team@example.org\r\n"
         "Subject: =?UTF-8?Q?Weekly_report_=E2=80=94_week_49?=\r\n"
         "Date: Sun, 6 Dec 2026 08:00:00 +0000\r\n"
         "Message-ID: <report-49@example.com>\r\n"
         "MIME-Version: 1.0\r\n"
         "Content-Type: multipart/mixed; boundary=\"outer\"\r\n\r\n"
         "--outer\r\nContent-Type: multipart/related; boundary=\"related\"\r\n\r\n"
         "--related\r\nContent-Type: multipart/alternative; boundary=\"alt\"\r\n\r\n"
         "--alt\r\nContent-Type: text/plain; charset=utf-8\r\n"
         "Content-Transfer-Encoding: quoted-printable\r\n\r\n" +
         text +
         "\r\n--alt\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"
         "<html><body>" +
         html +
         "<img src=\"cid:logo@example.com\"></body></html>\r\n"
         "--alt--\r\n"
         "--related\r\nContent-Type: image/png\r\nContent-ID: <logo@example.com>\r\n"
         "Content-Transfer-Encoding: base64\r\n\r\n" +
         Base64Lines(12 * 1024, 1) +
         "--related--\r\n"
         "--outer\r\nContent-Type: application/pdf; name=\"report.pdf\"\r\n"
         "Content-Disposition: attachment; filename=\"report week 49.pdf\"\r\n"
         "Content-Transfer-Encoding: base64\r\n\r\n" +
         Base64Lines(24 * 1024, 2) + "--outer--\r\n";
}

void BM_ParseMime100KB(benchmark::State& state) {
  const std::string bytes = MultipartMessage();
  for (auto _ : state) benchmark::DoNotOptimize(mapi::ParseMime(bytes));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
  state.counters["message_bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_ParseMime100KB)->Unit(benchmark::kMicrosecond);

// Parse, open as a message and read what the rule chain reads.
void BM_MapMime100KB(benchmark::State& state) {
  const std::string bytes = MultipartMessage();
  for (auto _ : state) {
    MessageRecord record(mapi::OpenMimeMessageBytes(bytes));
    benchmark::DoNotOptimize(record.GetString(mapi::PR_SUBJECT));
    benchmark::DoNotOptimize(record.GetString(mapi::PR_SENDER_EMAIL_ADDRESS));
    benchmark::DoNotOptimize(record.GetString(mapi::PR_TRANSPORT_MESSAGE_HEADERS));
    benchmark::DoNotOptimize(record.GetString(mapi::PR_BODY));
    benchmark::DoNotOptimize(record.GetAttachmentSummary());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_MapMime100KB)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quorvel
