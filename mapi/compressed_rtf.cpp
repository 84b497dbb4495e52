#include "mapi/compressed_rtf.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>
#include <vector>

namespace quorvel::mapi {
namespace {

// The dictionary's initial content; the write position starts after it.
constexpr std::string_view kPrebuffer =
    "{\\rtf1\\ansi\\mac\\deff0\\deftab720{\\fonttbl;}{\\f0\\fnil \\froman \\fswiss "
    "\\fmodern \\fscript \\fdecor MS Sans SerifSymbolArialTimes New RomanCourier"
    "{\\colortbl\\red0\\green0\\blue0\r\n\\par \\pard\\plain\\f0\\fs20\\b\\i\\u\\tab\\tx";
static_assert(kPrebuffer.size() == 207);

constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kWindow = 4096;
constexpr std::size_t kMaxMatch = 17;
// At most 17 output bytes per 2 input bytes, plus one control byte per 8 tokens:
// a raw size beyond this many times the compressed size cannot be genuine.
constexpr std::uint64_t kMaxExpansion = 9;

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[i] = c;
  }
  return table;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

std::uint32_t ReadLe32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void WriteLe32(std::string& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string MakeHeader(std::uint32_t compSize, std::uint32_t rawSize, std::uint32_t magic,
                       std::uint32_t crc) {
  std::string h(kHeaderSize, '\0');
  WriteLe32(h, 0, compSize);
  WriteLe32(h, 4, rawSize);
  WriteLe32(h, 8, magic);
  WriteLe32(h, 12, crc);
  return h;
}

// Expands the compressed contents into exactly `rawSize` bytes. The output buffer
// holds the prebuffer in front of the text, so that a dictionary reference becomes a
// backward copy within one contiguous buffer.
Result<std::string> Expand(const unsigned char* in, std::size_t inSize, std::uint32_t rawSize) {
  std::string buffer;
  buffer.resize(kPrebuffer.size() + rawSize);
  std::memcpy(buffer.data(), kPrebuffer.data(), kPrebuffer.size());
  char* out = buffer.data();
  std::size_t w = kPrebuffer.size();  // next write index (virtual position)
  const std::size_t end = buffer.size();
  std::size_t r = 0;
  while (r < inSize) {
    unsigned control = in[r++];
    for (int bit = 0; bit < 8; ++bit, control >>= 1) {
      if ((control & 1) == 0) {
        if (r >= inSize) return MAPI_E_CORRUPT_DATA;  // truncated inside a run
        if (w >= end) return MAPI_E_CORRUPT_DATA;     // more text than announced
        out[w++] = static_cast<char>(in[r++]);
        continue;
      }
      if (r + 2 > inSize) return MAPI_E_CORRUPT_DATA;
      unsigned ref = (static_cast<unsigned>(in[r]) << 8) | in[r + 1];
      r += 2;
      std::size_t offset = ref >> 4;
      std::size_t length = (ref & 0xF) + 2;
      std::size_t distance = (w - offset) & (kWindow - 1);
      if (distance == 0) {  // a reference to the write position ends the data
        if (w != end) return MAPI_E_CORRUPT_DATA;
        buffer.erase(0, kPrebuffer.size());
        return Ok(std::move(buffer));
      }
      if (length > end - w) return MAPI_E_CORRUPT_DATA;
      if (distance > w) {
        // Dictionary slots never written yet hold zeros.
        std::size_t zeros = std::min(length, distance - w);
        std::memset(out + w, 0, zeros);
        w += zeros;
        length -= zeros;
      }
      // A run that only reached back before the start is all zeros, written above.
      const char* src = length == 0 ? out + w : out + (w - distance);
      if (distance >= length) {
        std::memcpy(out + w, src, length);
        w += length;
      } else {
        for (std::size_t i = 0; i < length; ++i) out[w + i] = src[i];  // overlapping run
        w += length;
      }
    }
  }
  return MAPI_E_CORRUPT_DATA;  // no end reference
}

}  // namespace

std::uint32_t RtfCrc(std::string_view data) {
  std::uint32_t crc = 0;
  for (unsigned char b : data) crc = kCrcTable[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return crc;
}

Result<std::string> DecompressRtf(std::string_view data) {
  if (data.size() < kHeaderSize) return MAPI_E_CORRUPT_DATA;
  const auto* p = reinterpret_cast<const unsigned char*>(data.data());
  std::uint32_t compSize = ReadLe32(p);
  std::uint32_t rawSize = ReadLe32(p + 4);
  std::uint32_t magic = ReadLe32(p + 8);
  std::uint32_t crc = ReadLe32(p + 12);
  if (compSize < kHeaderSize - 4 || compSize > data.size() - 4) return MAPI_E_CORRUPT_DATA;
  std::size_t contentSize = compSize - (kHeaderSize - 4);
  const unsigned char* content = p + kHeaderSize;
  if (rawSize > kMaxRtfRawSize) return MAPI_E_TOO_BIG;
  if (magic == kRtfMagicUncompressed) {
    if (rawSize > contentSize) return MAPI_E_CORRUPT_DATA;
    return Ok(std::string(reinterpret_cast<const char*>(content), rawSize));
  }
  if (magic != kRtfMagicCompressed) return MAPI_E_CORRUPT_DATA;
  if (rawSize > kMaxExpansion * contentSize + kMaxMatch) return MAPI_E_CORRUPT_DATA;
  std::string_view contentView(reinterpret_cast<const char*>(content), contentSize);
  if (RtfCrc(contentView) != crc) return MAPI_E_CORRUPT_DATA;
  return Expand(content, contentSize, rawSize);
}

std::string WrapUncompressedRtf(std::string_view rtf) {
  std::string out = MakeHeader(static_cast<std::uint32_t>(rtf.size() + kHeaderSize - 4),
                               static_cast<std::uint32_t>(rtf.size()), kRtfMagicUncompressed, 0);
  out.append(rtf);
  return out;
}

std::string CompressRtf(std::string_view rtf) {
  // The text behind the prebuffer, as the decoder sees it.
  std::string text;
  text.reserve(kPrebuffer.size() + rtf.size());
  text.append(kPrebuffer);
  text.append(rtf);
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();

  // Hash chains over two-byte prefixes, within the last kWindow - 1 positions.
  constexpr std::size_t kHashSize = 1 << 16;
  constexpr int kMaxChain = 96;
  std::vector<std::int32_t> head(kHashSize, -1);
  std::vector<std::int32_t> prev(n, -1);
  auto hashAt = [&](std::size_t i) { return (static_cast<std::size_t>(s[i]) << 8) | s[i + 1]; };
  auto insert = [&](std::size_t i) {
    if (i + 1 >= n) return;
    std::size_t h = hashAt(i);
    prev[i] = head[h];
    head[h] = static_cast<std::int32_t>(i);
  };
  for (std::size_t i = 0; i + 1 < kPrebuffer.size(); ++i) insert(i);

  std::string body;
  body.reserve(rtf.size() / 2 + 16);
  std::size_t controlAt = 0;
  int tokens = 8;  // a new control byte is due
  auto beginToken = [&](bool reference) {
    if (tokens == 8) {
      controlAt = body.size();
      body.push_back('\0');
      tokens = 0;
    }
    if (reference) body[controlAt] = static_cast<char>(body[controlAt] | (1 << tokens));
    ++tokens;
  };
  auto emitReference = [&](std::size_t position, std::size_t length) {
    unsigned ref = static_cast<unsigned>(((position & (kWindow - 1)) << 4) | (length - 2));
    beginToken(true);
    body.push_back(static_cast<char>(ref >> 8));
    body.push_back(static_cast<char>(ref & 0xFF));
  };

  std::size_t i = kPrebuffer.size();
  while (i < n) {
    std::size_t bestLength = 0;
    std::size_t bestPosition = 0;
    if (i + 1 < n) {
      std::size_t limit = std::min(kMaxMatch, n - i);
      int chain = kMaxChain;
      for (std::int32_t c = head[hashAt(i)]; c >= 0 && chain-- > 0; c = prev[c]) {
        std::size_t candidate = static_cast<std::size_t>(c);
        if (i - candidate >= kWindow) break;  // out of the dictionary
        std::size_t length = 0;
        while (length < limit && s[candidate + length] == s[i + length]) ++length;
        if (length > bestLength) {
          bestLength = length;
          bestPosition = candidate;
          if (length == limit) break;
        }
      }
    }
    if (bestLength >= 2) {
      emitReference(bestPosition, bestLength);
      for (std::size_t k = 0; k < bestLength; ++k) insert(i + k);
      i += bestLength;
    } else {
      beginToken(false);
      body.push_back(static_cast<char>(s[i]));
      insert(i);
      ++i;
    }
  }
  // The end: a reference to the current write position.
  emitReference(n, 2);

  std::string out =
      MakeHeader(static_cast<std::uint32_t>(body.size() + kHeaderSize - 4),
                 static_cast<std::uint32_t>(rtf.size()), kRtfMagicCompressed, RtfCrc(body));
  out.append(body);
  return out;
}

Result<std::shared_ptr<Stream>> WrapCompressedRTFStream(std::shared_ptr<Stream> compressed,
                                                        std::uint32_t flags) {
  if (!compressed) return MAPI_E_INVALID_PARAMETER;
  if (flags & MAPI_MODIFY) {
    bool uncompressed = (flags & STORE_UNCOMPRESSED_RTF) != 0;
    auto commit = [compressed, uncompressed](const std::string& rtf) -> HRESULT {
      std::string data = uncompressed ? WrapUncompressedRtf(rtf) : CompressRtf(rtf);
      HRESULT hr = compressed->SetSize(0);
      if (Failed(hr)) return hr;
      hr = compressed->Seek(0, SeekOrigin::kBegin, nullptr);
      if (Failed(hr)) return hr;
      std::size_t written = 0;
      hr = compressed->Write(data.data(), data.size(), &written);
      if (Failed(hr)) return hr;
      if (written != data.size()) return MAPI_E_DISK_ERROR;
      return compressed->Commit(0);
    };
    return Ok<std::shared_ptr<Stream>>(std::make_shared<MemoryStream>(std::string(), commit));
  }
  // Bytes already in memory are decompressed where they are, not copied first.
  std::string copy;
  std::string_view input;
  if (auto* memory = dynamic_cast<MemoryStream*>(compressed.get())) {
    input = memory->unread();
  } else {
    auto data = ReadAll(*compressed);
    if (!data.ok()) return data.hr;
    copy = std::move(*data);
    input = copy;
  }
  auto rtf = DecompressRtf(input);
  if (!rtf.ok()) return rtf.hr;
  return Ok<std::shared_ptr<Stream>>(std::make_shared<MemoryStream>(std::move(*rtf)));
}

}  // namespace quorvel::mapi
