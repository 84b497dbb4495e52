// Compressed RTF: the form in which PR_RTF_COMPRESSED holds a message's RTF body.
// A 16-byte header (compressed size, raw size, magic, CRC; little-endian 32-bit
// words) is followed either by LZ77-style compressed data ("LZFu", checked with a
// CRC-32) or by the RTF text as it is ("MELA", CRC 0).
//
// Decoding is bounded by the header's raw size: damaged, truncated or oversized
// input is an error result, never a crash, an endless loop or an unbounded
// allocation. All functions are thread-safe (no shared state).
#ifndef QUORVEL_MAPI_COMPRESSED_RTF_H_
#define QUORVEL_MAPI_COMPRESSED_RTF_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "mapi/result.h"
#include "mapi/stream.h"

namespace quorvel::mapi {

inline constexpr std::uint32_t kRtfMagicCompressed = 0x75465A4C;    // "LZFu"
inline constexpr std::uint32_t kRtfMagicUncompressed = 0x414C454D;  // "MELA"
// Largest raw size the decoder accepts (a body larger than this is refused).
inline constexpr std::uint32_t kMaxRtfRawSize = 256u * 1024 * 1024;

// The RTF text of either form. MAPI_E_CORRUPT_DATA when the header, a size, the CRC or
// the compressed data is wrong (a truncated stream included); MAPI_E_TOO_BIG when the
// raw size exceeds kMaxRtfRawSize.
Result<std::string> DecompressRtf(std::string_view data);

// The compressed ("LZFu") form of `rtf`.
std::string CompressRtf(std::string_view rtf);
// The uncompressed ("MELA") form of `rtf`.
std::string WrapUncompressedRtf(std::string_view rtf);

// The CRC-32 of the compressed form (initial value 0, no final inversion).
std::uint32_t RtfCrc(std::string_view data);

// Opens RTF through a PR_RTF_COMPRESSED stream. Flags 0: reads the whole stream at once
// and returns a read-only stream of the RTF text, or the decoding error. MAPI_MODIFY:
// returns a writable stream; its Commit compresses what was written (STORE_UNCOMPRESSED_RTF:
// stores the uncompressed form) into `compressed`, then commits that.
Result<std::shared_ptr<Stream>> WrapCompressedRTFStream(std::shared_ptr<Stream> compressed,
                                                        std::uint32_t flags);

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_COMPRESSED_RTF_H_
