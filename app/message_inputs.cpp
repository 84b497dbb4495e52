#include "app/message_inputs.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <istream>
#include <streambuf>
#include <string_view>
#include <utility>
#include <vector>

#include "mapi/maildir/maildir_listing.h"
#include "mapi/maildir/maildir_names.h"
#include "mapi/mbox/mbox_reader.h"
#include "mapi/mime/input_bounds.h"
#include "mapi/mime/mime_message.h"
#include "mapi/tags.h"

namespace quorvel::app {
namespace {

// The entries of a folder that are not hidden, in name order.
struct Listing {
  std::vector<std::string> files;    // regular files (or links to them)
  std::vector<std::string> folders;  // sub-folders, links to folders left out
};

platform::FileStatus ListFolder(platform::FileSystem& files, const std::string& dir, Listing* out) {
  std::vector<platform::FolderEntry> entries;
  if (platform::FileStatus status = files.ListFolder(dir, &entries); !status.ok()) return status;
  for (platform::FolderEntry& entry : entries) {
    if (entry.name.empty() || entry.name[0] == '.') continue;
    if (entry.kind == platform::FileKind::kFile) {
      out->files.push_back(std::move(entry.name));
    } else if (entry.kind == platform::FileKind::kFolder && !entry.link) {
      out->folders.push_back(std::move(entry.name));
    }
  }
  std::sort(out->files.begin(), out->files.end());
  std::sort(out->folders.begin(), out->folders.end());
  return {};
}

// "<path>: <what>" for a failed file call, naming the usual causes plainly.
std::string Failure(const std::string& path, int code) {
  switch (code) {
    case ENOENT:
      return path + ": no such file or folder";
    case ELOOP:
      return path + ": a loop of symbolic links";
    case EACCES:
    case EPERM:
      return path + ": permission denied";
    case platform::kNotARegularFile:
      return path +
             ": not a regular file (a FIFO, a device or a socket); give - to read "
             "standard input";
    default:
      return path + ": " + std::strerror(code);
  }
}

// A file as a stream, for the mailbox reader: `start` (what was read of it already),
// then the rest.
class ReadableFileBuffer final : public std::streambuf {
 public:
  ReadableFileBuffer(platform::ReadableFile& file, std::string_view start) : file_(file) {
    std::memcpy(buffer_, start.data(), start.size());
    setg(buffer_, buffer_, buffer_ + start.size());
  }
  bool failed() const { return failed_; }

 private:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    std::size_t got = 0;
    if (!file_.Read(buffer_, sizeof buffer_, &got).ok()) {
      failed_ = true;
      return traits_type::eof();
    }
    if (got == 0) return traits_type::eof();
    setg(buffer_, buffer_, buffer_ + got);
    return traits_type::to_int_type(*gptr());
  }

  platform::ReadableFile& file_;
  char buffer_[1 << 16];
  bool failed_ = false;
};

class InputReader {
 public:
  InputReader(const InputOptions& options, platform::FileSystem& files, const MessageVisitor& visit,
              const ProblemSink& problem)
      : options_(options), files_(files), visit_(visit), problem_(problem) {}

  int problems() const { return problems_; }

  void Read(const std::string& arg) {
    if (Stopped()) return;
    if (arg == "-") {
      ReadStandardInput();
      return;
    }
    platform::FileInfo info;
    if (const platform::FileStatus status = files_.Stat(arg, &info); !status.ok()) {
      Problem(Failure(arg, status.code()));
    } else if (info.kind == platform::FileKind::kMissing) {
      Problem(arg + ": no such file or folder");
    } else if (info.kind == platform::FileKind::kFolder) {
      ReadFolder(arg);
    } else {
      ReadFile(arg);
    }
  }

 private:
  bool Stopped() const { return options_.stop != nullptr && *options_.stop; }

  void Problem(const std::string& text) {
    ++problems_;
    problem_(text);
  }

  void Visit(std::string name, std::optional<std::uint64_t> offset,
             std::shared_ptr<mapi::Message> message, std::string boundsNote) {
    MessageInput input{std::move(name), offset, std::move(message), std::move(boundsNote)};
    visit_(input);
  }

  // Standard input up to one byte past the message bound (so that the parse sees that
  // there was more, and says so), never more: "classify - </dev/zero" ends.
  void ReadStandardInput() {
    // A standard input the program was started without is held open for writing only
    // (standard_streams.h): it is no message, not even an empty one.
    const int fd = options_.standardInputFd;
    const int mode = fd < 0 ? -1 : ::fcntl(fd, F_GETFL);
    if (fd < 0 || (mode != -1 && (mode & O_ACCMODE) == O_WRONLY)) {
      Problem("-: standard input is closed");
      return;
    }
    std::istream& in = options_.standardInput ? *options_.standardInput : std::cin;
    std::string bytes;
    constexpr std::size_t kChunk = 1 << 16;
    while (bytes.size() <= mapi::kMaxMessageBytes) {
      const std::size_t used = bytes.size();
      bytes.resize(used + std::min(kChunk, mapi::kMaxMessageBytes + 1 - used));
      in.read(bytes.data() + used, static_cast<std::streamsize>(bytes.size() - used));
      bytes.resize(used + static_cast<std::size_t>(in.gcount()));
      if (in.bad()) {
        in.clear();
        Problem("-: cannot read standard input");
        return;
      }
      if (in.eof()) break;
    }
    in.clear();
    std::string note;
    auto message = mapi::OpenMimeMessageBytes(bytes, {}, &note);
    Visit("-", std::nullopt, std::move(message), std::move(note));
  }

  // One message file; `storeFlags` from its Maildir name.
  void ReadMessageFile(const std::string& path, std::uint32_t storeFlags) {
    mapi::MimeMessage parsed;
    std::uint64_t size = 0;
    if (const platform::FileStatus read = mapi::ReadMimeFile(files_, path, &parsed, &size);
        !read.ok()) {
      Problem(read.code() == ENOENT ? path + ": no such file" : Failure(path, read.code()));
      return;
    }
    mapi::MimeMessageContext context;
    context.storeFlags = storeFlags;
    context.size = size;
    std::string note = parsed.boundsNote;
    Visit(path, std::nullopt, mapi::OpenMimeMessage(std::move(parsed), std::move(context)),
          std::move(note));
  }

  // A file named on the command line: an mbox or one message.
  void ReadFile(const std::string& path) {
    std::unique_ptr<platform::ReadableFile> file;
    char start[5] = {};
    std::size_t got = 0;
    platform::FileStatus status = files_.OpenForReading(path, &file);
    // A short read is no end of the file: the start is read until it is whole.
    while (status.ok() && got < sizeof start) {
      std::size_t piece = 0;
      status = file->Read(start + got, sizeof start - got, &piece);
      if (piece == 0) break;
      got += piece;
    }
    if (!status.ok()) {
      Problem(status.code() == platform::kNotARegularFile ? Failure(path, status.code())
                                                          : path + ": cannot be read");
      return;
    }
    if (!mapi::LooksLikeMbox(std::string_view(start, got))) {
      file.reset();
      ReadMessageFile(path, 0);
      return;
    }
    ReadMbox(path, *file, std::string_view(start, got));
  }

  void ReadMbox(const std::string& path, platform::ReadableFile& file, std::string_view start) {
    ReadableFileBuffer buffer(file, start);
    std::istream in(&buffer);
    mapi::MboxReader reader(in, mapi::kMaxMessageBytes);
    mapi::MboxMessage m;
    while (!Stopped() && reader.Next(&m)) {
      std::string name = path + ":" + std::to_string(m.number);
      const std::string at = " (byte " + std::to_string(m.offset) + ")";
      if (m.damagedSeparator) Problem(name + ": damaged separator line" + at);
      if (m.empty) {
        Problem(name + ": empty message, skipped" + at);
        continue;
      }
      if (m.truncated) Problem(name + ": the file ends inside this message" + at);
      // Cut at the same bound as a message file, and judged on what was kept.
      std::string note;
      auto message = mapi::OpenMimeMessageBytes(m.bytes, {}, &note);
      if (m.tooLarge) note = mapi::MessageSizeNote() + (note.empty() ? "" : "; " + note);
      Visit(std::move(name), m.offset, std::move(message), std::move(note));
    }
    if (reader.failed() || buffer.failed()) Problem(path + ": cannot be read to its end");
  }

  // Whether `path` is a folder: false for anything else, and for a path that cannot be
  // looked at (*error set).
  bool IsFolder(const std::string& path, platform::FileStatus* error) {
    platform::FileInfo info;
    *error = files_.Stat(path, &info);
    return error->ok() && info.kind == platform::FileKind::kFolder;
  }

  void ReadFolder(const std::string& path) {
    platform::FileStatus curError, newError;
    const bool hasCur = IsFolder(platform::JoinFilePath(path, "cur"), &curError);
    const bool hasNew = IsFolder(platform::JoinFilePath(path, "new"), &newError);
    if (hasCur || hasNew || !curError.ok() || !newError.ok()) {
      // What can be read is read; a subfolder that cannot be is a problem of its own.
      for (const char* sub : {"cur", "new"}) {
        const bool cur = sub == std::string_view("cur");
        const platform::FileStatus& error = cur ? curError : newError;
        if (!error.ok()) Problem(Failure(platform::JoinFilePath(path, sub), error.code()));
        if (cur ? hasCur : hasNew) ReadMaildirFiles(path, sub);
      }
      return;
    }
    Listing listing;
    if (const platform::FileStatus status = ListFolder(files_, path, &listing); !status.ok()) {
      Problem(Failure(path, status.code()));
      return;
    }
    for (const std::string& name : listing.files) {
      if (Stopped()) return;
      ReadMessageFile(platform::JoinFilePath(path, name), 0);
    }
    if (!options_.recursive) return;
    for (const std::string& name : listing.folders) {
      if (Stopped()) return;
      ReadFolder(platform::JoinFilePath(path, name));
    }
  }

  // The message files of a Maildir's cur/ or new/, with the flags their names carry.
  void ReadMaildirFiles(const std::string& path, const char* sub) {
    std::vector<std::string> names;
    if (const platform::FileStatus status = mapi::ListMaildirFiles(files_, path, sub, &names);
        !status.ok()) {
      Problem(Failure(platform::JoinFilePath(path, sub), status.code()) +
              " (its messages were not read)");
      return;
    }
    const std::string folder = platform::JoinFilePath(path, sub);
    for (const std::string& name : names) {
      if (Stopped()) return;
      const auto parsed = mapi::ParseMessageFileName(name);
      ReadMessageFile(platform::JoinFilePath(folder, name),
                      parsed ? mapi::MessageFlagsOf(*parsed) : 0);
    }
  }

  const InputOptions& options_;
  platform::FileSystem& files_;
  const MessageVisitor& visit_;
  const ProblemSink& problem_;
  int problems_ = 0;
};

}  // namespace

int ReadMessageInput(const std::string& arg, const InputOptions& options,
                     const MessageVisitor& visit, const ProblemSink& problem,
                     platform::FileSystem& files) {
  InputReader reader(options, files, visit, problem);
  reader.Read(arg);
  return reader.problems();
}

}  // namespace quorvel::app
