// The GMime adapter: the only place besides mime_document.h that sees GMime types.
#include "mapi/mime/mime_parse.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "mapi/mime/header_fields.h"
#include "mapi/mime/header_filter.h"
#include "mapi/mime/input_bounds.h"
#include "mapi/mime/mime_converters.h"
#include "mapi/mime/mime_document.h"
#include "mapi/mime/mime_text.h"
#include "platform/code_page.h"

namespace quorvel::mapi {
namespace {

// Deeper multiparts are not searched; real mail nests a handful of levels.
constexpr int kMaxDepth = 64;

// The parse options shared by every parse (read-only once built).
GMimeParserOptions* SharedOptions() {
  static GMimeParserOptions* options = [] {
    g_mime_init();
    KeepConverterLoaded("windows-1252");  // the fallback for unlabelled 8-bit headers
    GMimeParserOptions* o = g_mime_parser_options_new();
    g_mime_parser_options_set_address_compliance_mode(o, GMIME_RFC_COMPLIANCE_LOOSE);
    g_mime_parser_options_set_parameter_compliance_mode(o, GMIME_RFC_COMPLIANCE_LOOSE);
    g_mime_parser_options_set_rfc2047_compliance_mode(o, GMIME_RFC_COMPLIANCE_LOOSE);
    g_mime_parser_options_set_allow_addresses_without_domain(o, TRUE);
    const char* fallback[] = {"utf-8", "windows-1252", nullptr};
    g_mime_parser_options_set_fallback_charsets(o, fallback);
    return o;
  }();
  return options;
}

// Header-decoding options whose 8-bit fallback tries the body's charset before
// Windows-1252: unlabelled 8-bit headers are nearly always in the body's charset.
struct HeaderOptions {
  GMimeParserOptions* options = nullptr;
  bool owned = false;
  explicit HeaderOptions(const std::string& bodyCharset) {
    std::string lower = platform::ToLowerAnsi(bodyCharset);
    if (lower.empty() || lower == "utf-8" || lower == "us-ascii" || lower == "utf8") {
      options = SharedOptions();
      return;
    }
    KeepConverterLoaded(lower);
    options = g_mime_parser_options_clone(SharedOptions());
    owned = true;
    const char* fallback[] = {"utf-8", lower.c_str(), "windows-1252", nullptr};
    g_mime_parser_options_set_fallback_charsets(options, fallback);
  }
  ~HeaderOptions() {
    if (owned) g_mime_parser_options_free(options);
  }
  HeaderOptions(const HeaderOptions&) = delete;
  HeaderOptions& operator=(const HeaderOptions&) = delete;
};

std::string Utf8Owned(char* text) {
  if (text == nullptr) return {};
  std::string out = text;
  g_free(text);
  return out;
}

std::string Utf8View(const char* text) {
  return text == nullptr ? std::string() : platform::Utf8ToAnsi(text);
}

bool IsAttachmentDisposition(GMimeObject* object) {
  GMimeContentDisposition* d = g_mime_object_get_content_disposition(object);
  return d != nullptr && g_mime_content_disposition_is_attachment(d);
}

bool IsType(GMimeObject* object, const char* type, const char* subtype) {
  GMimeContentType* ct = g_mime_object_get_content_type(object);
  return ct != nullptr && g_mime_content_type_is_type(ct, type, subtype);
}

std::string PartBytes(GMimeObject* object) {
  GMimeStream* out = g_mime_stream_mem_new();
  if (GMIME_IS_PART(object)) {
    GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(object));
    if (content != nullptr) g_mime_data_wrapper_write_to_stream(content, out);
  } else if (GMIME_IS_MESSAGE_PART(object)) {
    GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
    if (inner != nullptr) g_mime_object_write_to_stream(GMIME_OBJECT(inner), nullptr, out);
  }
  GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out));
  std::string result(reinterpret_cast<const char*>(bytes->data), bytes->len);
  g_object_unref(out);
  return result;
}

std::string Charset(GMimeObject* object) {
  const char* c = g_mime_object_get_content_type_parameter(object, "charset");
  return c == nullptr ? std::string() : std::string(c);
}

// Depth-first walk: the chosen bodies and every other leaf.
struct Walk {
  GMimeObject* text = nullptr;
  GMimeObject* html = nullptr;
  std::vector<GMimeObject*> leaves;
  bool invitation = false;
};

bool IsInvitation(GMimeObject* leaf) {
  if (!IsType(leaf, "text", "calendar") || IsAttachmentDisposition(leaf)) return false;
  const char* method = g_mime_object_get_content_type_parameter(leaf, "method");
  if (method != nullptr) return g_ascii_strcasecmp(method, "REQUEST") == 0;
  std::string body = PartBytes(leaf);
  return FindNoCaseAscii(body, "METHOD:REQUEST") != std::string::npos;
}

void Visit(GMimeObject* object, int depth, Walk* walk) {
  if (object == nullptr || depth > kMaxDepth) return;
  if (GMIME_IS_MULTIPART(object)) {
    GMimeMultipart* multipart = GMIME_MULTIPART(object);
    int count = g_mime_multipart_get_count(multipart);
    for (int i = 0; i < count; ++i) {
      Visit(g_mime_multipart_get_part(multipart, i), depth + 1, walk);
    }
    return;
  }
  if (GMIME_IS_PART(object) && !IsAttachmentDisposition(object)) {
    if (walk->text == nullptr && IsType(object, "text", "plain")) {
      walk->text = object;
      return;
    }
    if (walk->html == nullptr && IsType(object, "text", "html")) {
      walk->html = object;
      return;
    }
  }
  if (!walk->invitation && IsInvitation(object)) walk->invitation = true;
  walk->leaves.push_back(object);
}

// "multipart/report; report-type=..." at the top decides the report classes.
std::string MessageClass(GMimeObject* top, bool invitation) {
  if (top != nullptr && IsType(top, "multipart", "report")) {
    const char* type = g_mime_object_get_content_type_parameter(top, "report-type");
    if (type != nullptr && g_ascii_strcasecmp(type, "delivery-status") == 0) {
      return "REPORT.IPM.Note.NDR";
    }
    if (type != nullptr && g_ascii_strcasecmp(type, "disposition-notification") == 0) {
      return "REPORT.IPM.Note.IPNRN";
    }
  }
  if (invitation) return "IPM.Schedule.Meeting.Request";
  return "IPM.Note";
}

void AppendMailboxes(InternetAddressList* list, std::int32_t type, std::vector<MimeRecipient>* out,
                     int depth = 0) {
  if (list == nullptr || depth > 4) return;
  int count = internet_address_list_length(list);
  for (int i = 0; i < count; ++i) {
    InternetAddress* ia = internet_address_list_get_address(list, i);
    if (INTERNET_ADDRESS_IS_GROUP(ia)) {
      AppendMailboxes(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(ia)), type, out,
                      depth + 1);
      continue;
    }
    if (!INTERNET_ADDRESS_IS_MAILBOX(ia)) continue;
    MimeRecipient r;
    r.type = type;
    r.mailbox.address = Utf8View(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(ia)));
    const char* name = internet_address_get_name(ia);
    r.mailbox.nameUtf8 = name == nullptr ? std::string() : name;
    r.mailbox.name = platform::Utf8ToAnsi(r.mailbox.nameUtf8);
    if (r.mailbox.name.empty()) r.mailbox.name = r.mailbox.address;
    out->push_back(std::move(r));
  }
}

std::vector<MimeRecipient> ParseAddresses(GMimeParserOptions* options, const char* raw,
                                          std::int32_t type) {
  std::vector<MimeRecipient> out;
  InternetAddressList* list = internet_address_list_parse(options, raw);
  if (list != nullptr) {
    AppendMailboxes(list, type, &out);
    g_object_unref(list);
  }
  return out;
}

// The header block as it stands: every line up to the first empty one, CRLF ends.
std::string HeaderBlock(std::string_view raw) {
  std::size_t end = 0;
  while (end < raw.size()) {
    std::size_t nl = raw.find('\n', end);
    std::size_t lineEnd = nl == std::string_view::npos ? raw.size() : nl;
    std::string_view line = raw.substr(end, lineEnd - end);
    if (line.empty() || line == "\r") break;
    end = nl == std::string_view::npos ? raw.size() : nl + 1;
  }
  std::string block = ToCrlf(raw.substr(0, end));
  if (!block.empty() && block.back() != '\n') block += "\r\n";
  return BytesToAnsi(std::move(block), "");
}

// "<addr>" or "addr" of a trace header, without parsing it as an address list.
std::string TraceAddress(const char* raw) {
  std::string value = UnfoldTrim(raw);
  if (value.size() >= 2 && value.front() == '<' && value.back() == '>') {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

bool HasEightBit(const char* raw) {
  for (const char* p = raw; *p != '\0'; ++p) {
    if (static_cast<unsigned char>(*p) >= 0x80) return true;
  }
  return false;
}

void ReadHeaders(GMimeMessage* gm, const std::string& bodyCharset, MimeMessage* m) {
  HeaderOptions options(bodyCharset);
  GMimeHeaderList* headers = g_mime_object_get_header_list(GMIME_OBJECT(gm));
  int count = g_mime_header_list_get_count(headers);
  bool haveSubject = false;
  // GMime has parsed the address headers already; they are parsed again only where
  // unlabelled 8-bit text needs the body's charset.
  bool reparseAddresses = false;
  std::string originalTo;
  for (int i = 0; i < count; ++i) {
    GMimeHeader* h = g_mime_header_list_get_header_at(headers, i);
    const char* name = g_mime_header_get_name(h);
    const char* raw = g_mime_header_get_raw_value(h);
    if (name == nullptr || raw == nullptr) continue;
    KeepEncodedWordConvertersLoaded(raw);
    switch (FindHeaderField(name)) {
      case HeaderField::kSubject:
        if (haveSubject) break;
        haveSubject = true;
        m->subjectUtf8 =
            Utf8Owned(g_mime_utils_header_decode_text(options.options, UnfoldTrim(raw).c_str()));
        m->subject = platform::Utf8ToAnsi(m->subjectUtf8);
        break;
      case HeaderField::kFrom:
      case HeaderField::kTo:
      case HeaderField::kCc:
      case HeaderField::kBcc:
        reparseAddresses = reparseAddresses || (options.owned && HasEightBit(raw));
        break;
      case HeaderField::kDeliveredTo:
        if (m->deliveredTo.empty()) m->deliveredTo = TraceAddress(raw);
        break;
      case HeaderField::kXOriginalTo:
        if (originalTo.empty()) originalTo = TraceAddress(raw);
        break;
      case HeaderField::kMessageId:
        if (m->messageId.empty()) m->messageId = UnfoldTrim(raw);
        break;
      default:  // read through GMime's own parse, or not at all
        break;
    }
  }
  if (m->deliveredTo.empty()) m->deliveredTo = std::move(originalTo);

  std::vector<MimeRecipient> from, to, cc, bcc;
  if (reparseAddresses) {
    for (int i = 0; i < count; ++i) {
      GMimeHeader* h = g_mime_header_list_get_header_at(headers, i);
      const char* name = g_mime_header_get_name(h);
      const char* raw = g_mime_header_get_raw_value(h);
      if (name == nullptr || raw == nullptr) continue;
      std::vector<MimeRecipient>* into = nullptr;
      switch (FindHeaderField(name)) {
        case HeaderField::kFrom:
          into = &from;
          break;
        case HeaderField::kTo:
          into = &to;
          break;
        case HeaderField::kCc:
          into = &cc;
          break;
        case HeaderField::kBcc:
          into = &bcc;
          break;
        default:
          continue;
      }
      auto more = ParseAddresses(options.options, raw, kMimeTo);
      into->insert(into->end(), more.begin(), more.end());
    }
  } else {
    AppendMailboxes(g_mime_message_get_from(gm), kMimeTo, &from);
    AppendMailboxes(g_mime_message_get_to(gm), kMimeTo, &to);
    AppendMailboxes(g_mime_message_get_cc(gm), kMimeCc, &cc);
    AppendMailboxes(g_mime_message_get_bcc(gm), kMimeBcc, &bcc);
  }
  if (!from.empty()) m->from = std::move(from.front().mailbox);
  for (MimeRecipient& r : cc) r.type = kMimeCc;
  for (MimeRecipient& r : bcc) r.type = kMimeBcc;
  for (std::size_t i = 0; i < to.size(); ++i) {
    if (i > 0) m->displayTo += "; ";
    m->displayTo += to[i].mailbox.name;
  }
  m->recipients = std::move(to);
  m->recipients.insert(m->recipients.end(), cc.begin(), cc.end());
  m->recipients.insert(m->recipients.end(), bcc.begin(), bcc.end());
  GDateTime* date = g_mime_message_get_date(gm);
  if (date != nullptr) m->date = g_date_time_to_unix(date);
}

// True when the HTML names `id` as "cid:<id>" (the scheme in any case).
bool HtmlRefersToCid(std::string_view html, std::string_view id) {
  if (id.empty()) return false;
  std::size_t pos = 0;
  while ((pos = html.find(id, pos)) != std::string_view::npos) {
    if (pos >= 4 && FindNoCaseAscii(html.substr(pos - 4, 4), "cid:") == 0) return true;
    ++pos;
  }
  return false;
}

MimeAttachment DescribeLeaf(GMimeObject* leaf, std::string_view html) {
  MimeAttachment a;
  GMimeContentType* ct = g_mime_object_get_content_type(leaf);
  if (ct != nullptr) {
    char* type = g_mime_content_type_get_mime_type(ct);
    if (type != nullptr) {
      a.mimeType = type;
      for (char& c : a.mimeType) c = g_ascii_tolower(c);
      g_free(type);
    }
  }
  const char* name = nullptr;
  if (GMIME_IS_PART(leaf)) {
    name = g_mime_part_get_filename(GMIME_PART(leaf));
  } else {
    name = g_mime_object_get_content_disposition_parameter(leaf, "filename");
    if (name == nullptr) name = g_mime_object_get_content_type_parameter(leaf, "name");
  }
  a.longFileNameUtf8 = name == nullptr ? std::string() : name;
  a.longFileName = platform::Utf8ToAnsi(a.longFileNameUtf8);
  a.shortFileName = ShortFileName(a.longFileName);
  const char* id = g_mime_object_get_content_id(leaf);
  if (id != nullptr) a.contentId = id;
  const char* location = g_mime_object_get_header(leaf, "Content-Location");
  if (location != nullptr) a.contentLocation = UnfoldTrim(location);
  a.embeddedMessage = GMIME_IS_MESSAGE_PART(leaf);
  a.referencedByHtml =
      HtmlRefersToCid(html, a.contentId) ||
      (!a.contentLocation.empty() && html.find(a.contentLocation) != std::string_view::npos);
  return a;
}

// `raw` is what the stream holds; when `filter` dropped header fields from it, the
// header block as it came is in the filter's result.
MimeMessage ParseStream(GMimeStream* stream, std::string_view raw,
                        const HeaderFilterResult& filter) {
  MimeMessage m;
  m.messageClass = "IPM.Note";
  GMimeParser* parser = g_mime_parser_new_with_stream(stream);
  g_mime_parser_set_format(parser, GMIME_FORMAT_MESSAGE);
  g_mime_parser_set_persist_stream(parser, TRUE);
  GMimeMessage* gm = g_mime_parser_construct_message(parser, SharedOptions());
  g_object_unref(parser);
  if (gm == nullptr) {
    // No header block at all: the whole text is the plain body.
    if (filter.filtered) {
      std::string whole = filter.originalHeaders + std::string(raw.substr(filter.keptHeaderBytes));
      m.hasTextBody = true;
      m.textBody = ToCrlf(BytesToAnsi(std::move(whole), ""));
    } else if (!raw.empty()) {
      m.hasTextBody = true;
      m.textBody = ToCrlf(BytesToAnsi(std::string(raw), ""));
    }
    return m;
  }
  auto document = std::make_shared<MimeDocument>(gm, stream);
  GMimeObject* top = g_mime_message_get_mime_part(gm);
  Walk walk;
  Visit(top, 0, &walk);

  std::string bodyCharset;
  if (walk.text != nullptr) {
    bodyCharset = Charset(walk.text);
    m.hasTextBody = true;
    // In two steps, so that the raw part is let go before the CRLF copy is made.
    std::string text = BytesToAnsi(PartBytes(walk.text), bodyCharset);
    m.textBody = ToCrlf(text);
  }
  if (walk.html != nullptr) {
    std::string charset = Charset(walk.html);
    std::string bytes = PartBytes(walk.html);
    if (charset.empty()) charset = SniffHtmlCharset(bytes);
    if (bodyCharset.empty()) bodyCharset = charset;
    m.hasHtmlBody = true;
    m.htmlBody = BytesToAnsi(std::move(bytes), charset);
  }
  m.messageClass = MessageClass(top, walk.invitation);
  m.transportHeaders = HeaderBlock(filter.filtered ? filter.originalHeaders : raw);
  ReadHeaders(gm, bodyCharset, &m);

  m.attachments.reserve(walk.leaves.size());
  for (GMimeObject* leaf : walk.leaves) {
    m.attachments.push_back(DescribeLeaf(leaf, m.htmlBody));
  }
  // Only attachments are decoded later; without them the parsed document and the
  // message bytes are let go now rather than held for as long as the message is.
  if (!walk.leaves.empty()) {
    document->leaves = std::move(walk.leaves);
    m.document = std::move(document);
  }
  return m;
}

}  // namespace

MimeDocument::MimeDocument(GMimeMessage* m, GMimeStream* s) : message(m), stream(s) {
  g_object_ref(stream);
}

MimeDocument::~MimeDocument() {
  g_object_unref(message);
  g_object_unref(stream);
}

namespace {

// Parses `data[0, used)`, a buffer from g_malloc that the parse takes over.
// With `dropUnread` false every header field reaches GMime.
MimeMessage ParseBuffer(guint8* data, std::size_t used, std::string note, bool dropUnread = true) {
  used = BoundMessageInput(reinterpret_cast<char*>(data), used, &note);
  HeaderFilterResult unfiltered;
  unfiltered.size = used;
  const HeaderFilterResult filter =
      dropUnread ? DropUnreadHeaders(reinterpret_cast<char*>(data), used) : unfiltered;
  GByteArray* array = g_byte_array_new_take(data, filter.size);
  GMimeStream* stream = g_mime_stream_mem_new_with_byte_array(array);
  MimeMessage m = ParseStream(
      stream, std::string_view(reinterpret_cast<const char*>(array->data), array->len), filter);
  g_object_unref(stream);
  m.boundsNote = std::move(note);
  return m;
}

// Reads to the end or to kMaxMessageBytes through `read` (a FileStatus(char*, size_t,
// size_t*) that gives 0 bytes at the end), straight into a buffer the memory stream
// takes over: no second copy. The buffer is sized by `sizeHint` when the size is
// known (0: not known), not rounded up to a power of two as a growing byte array
// would be.
template <typename Read>
platform::FileStatus ReadBounded(std::uint64_t sizeHint, Read read, guint8** data,
                                 std::size_t* used, bool* cut) {
  std::size_t capacity =
      sizeHint > 0
          ? static_cast<std::size_t>(std::min<std::uint64_t>(sizeHint, kMaxMessageBytes)) + 1
          : 65536;
  *data = nullptr;
  *used = 0;
  *cut = false;
  for (;;) {
    if (*data == nullptr || *used == capacity) {
      if (*data != nullptr) capacity = std::min(capacity * 2, kMaxMessageBytes + 1);
      *data = static_cast<guint8*>(g_realloc(*data, capacity));
    }
    std::size_t got = 0;
    platform::FileStatus status =
        read(reinterpret_cast<char*>(*data) + *used, capacity - *used, &got);
    if (!status.ok()) {
      g_free(*data);
      *data = nullptr;
      return status;
    }
    if (got == 0) break;
    *used += got;
    if (*used > kMaxMessageBytes) {  // one byte over tells that there is more
      *used = kMaxMessageBytes;
      *cut = true;
      break;
    }
  }
  return {};
}

MimeMessage ParseMimeBytes(std::string_view bytes, bool dropUnread) {
  SharedOptions();
  std::string note;
  if (bytes.size() > kMaxMessageBytes) {
    bytes = bytes.substr(0, kMaxMessageBytes);
    note = MessageSizeNote();
  }
  auto* data = static_cast<guint8*>(g_malloc(bytes.empty() ? 1 : bytes.size()));
  if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
  return ParseBuffer(data, bytes.size(), std::move(note), dropUnread);
}

}  // namespace

MimeMessage ParseMime(std::string_view bytes) { return ParseMimeBytes(bytes, true); }

MimeMessage ParseMimeWithEveryHeaderField(std::string_view bytes) {
  return ParseMimeBytes(bytes, false);
}

bool ParseMimeDescriptor(int fd, const std::string& name, MimeMessage* out, std::string* error) {
  SharedOptions();
  struct stat st {};
  const std::uint64_t sizeHint = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0
                                     ? static_cast<std::uint64_t>(st.st_size)
                                     : 0;
  auto read = [fd, &name](char* buffer, std::size_t capacity, std::size_t* got) {
    for (;;) {
      const ssize_t n = ::read(fd, buffer, capacity);
      if (n >= 0) {
        *got = static_cast<std::size_t>(n);
        return platform::FileStatus();
      }
      if (errno != EINTR) return platform::FileStatus(errno, "cannot read", name);
    }
  };
  guint8* data = nullptr;
  std::size_t used = 0;
  bool cut = false;
  if (const platform::FileStatus status = ReadBounded(sizeHint, read, &data, &used, &cut);
      !status.ok()) {
    if (error != nullptr) *error = name + ": " + std::strerror(status.code());
    return false;
  }
  *out = ParseBuffer(data, used, cut ? MessageSizeNote() : std::string());
  return true;
}

platform::FileStatus ReadMimeFile(platform::FileSystem& files, const std::string& path,
                                  MimeMessage* out, std::uint64_t* fileSize) {
  SharedOptions();
  std::unique_ptr<platform::ReadableFile> file;
  if (platform::FileStatus status = files.OpenForReading(path, &file); !status.ok()) return status;
  // A FIFO in a Maildir (or named as a message) could hold the reader for ever.
  if (!file->regular()) return platform::NotARegularFile(path);
  if (fileSize != nullptr) *fileSize = file->size();
  auto read = [&file](char* buffer, std::size_t capacity, std::size_t* got) {
    return file->Read(buffer, capacity, got);
  };
  guint8* data = nullptr;
  std::size_t used = 0;
  bool cut = false;
  if (platform::FileStatus status = ReadBounded(file->size(), read, &data, &used, &cut);
      !status.ok()) {
    return status;
  }
  *out = ParseBuffer(data, used, cut ? MessageSizeNote() : std::string());
  return {};
}

bool ParseMimeFile(const std::string& path, MimeMessage* out, std::string* error) {
  const platform::FileStatus status = ReadMimeFile(platform::RealFileSystem(), path, out);
  if (!status.ok() && error != nullptr) *error = path + ": " + std::strerror(status.code());
  return status.ok();
}

bool ReadAttachmentData(const MimeMessage& message, std::size_t index, std::string* out) {
  if (message.document == nullptr || index >= message.document->leaves.size()) return false;
  *out = PartBytes(message.document->leaves[index]);
  return true;
}

}  // namespace quorvel::mapi
