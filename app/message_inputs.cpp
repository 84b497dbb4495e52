#include "app/message_inputs.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "mapi/maildir/maildir_names.h"
#include "mapi/mbox/mbox_reader.h"
#include "mapi/mime/input_bounds.h"
#include "mapi/mime/mime_message.h"
#include "mapi/tags.h"

namespace quorvel::app {
namespace fs = std::filesystem;

namespace {

// The entries of a folder that are not hidden, in name order.
struct Listing {
  std::vector<std::string> files;    // regular files (or links to them)
  std::vector<std::string> folders;  // sub-folders, links to folders left out
};

bool ListFolder(const fs::path& dir, Listing* out, std::error_code* error) {
  std::error_code& ec = *error;
  fs::directory_iterator it(dir, ec);
  if (ec) return false;
  for (const fs::directory_entry& entry : it) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    std::error_code typeError;
    if (entry.is_regular_file(typeError)) {
      out->files.push_back(name);
    } else if (entry.is_directory(typeError) && !entry.is_symlink(typeError)) {
      out->folders.push_back(name);
    }
  }
  std::sort(out->files.begin(), out->files.end());
  std::sort(out->folders.begin(), out->folders.end());
  return true;
}

// "<path>: <what>" for a failed file system call, naming the usual causes plainly.
std::string Failure(const std::string& path, const std::error_code& ec) {
  switch (ec.value()) {
    case ENOENT:
      return path + ": no such file or folder";
    case ELOOP:
      return path + ": a loop of symbolic links";
    case EACCES:
    case EPERM:
      return path + ": permission denied";
    default:
      return path + ": " + ec.message();
  }
}

// Whether `path` is a folder: false for anything else, and for a path that cannot be
// looked at (*ec set).
bool IsFolder(const fs::path& path, std::error_code* ec) {
  const fs::file_status status = fs::status(path, *ec);
  if (*ec == std::errc::no_such_file_or_directory || *ec == std::errc::not_a_directory) {
    ec->clear();
    return false;
  }
  return !*ec && fs::is_directory(status);
}

class InputReader {
 public:
  InputReader(const InputOptions& options, const MessageVisitor& visit, const ProblemSink& problem)
      : options_(options), visit_(visit), problem_(problem) {}

  int problems() const { return problems_; }

  void Read(const std::string& arg) {
    if (Stopped()) return;
    if (arg == "-") {
      ReadStandardInput();
      return;
    }
    std::error_code ec;
    const fs::file_status status = fs::status(arg, ec);
    if (ec || !fs::exists(status)) {
      Problem(ec ? Failure(arg, ec) : arg + ": no such file or folder");
    } else if (fs::is_directory(status)) {
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
    mapi::MimeMessageContext context;
    context.storeFlags = storeFlags;
    std::string note;
    auto opened = mapi::OpenMimeMessageFile(path, std::move(context), &note);
    if (!opened.ok()) {
      const std::error_code ec(errno, std::generic_category());
      Problem(opened.hr == mapi::MAPI_E_NOT_FOUND ? path + ": no such file"
              : ec                                ? Failure(path, ec)
                                                  : path + ": cannot be read");
      return;
    }
    Visit(path, std::nullopt, std::move(opened.value), std::move(note));
  }

  // A file named on the command line: an mbox or one message.
  void ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char start[5] = {};
    in.read(start, sizeof start);
    if (in.bad() || (!in && !in.eof())) {
      Problem(path + ": cannot be read");
      return;
    }
    if (!mapi::LooksLikeMbox(std::string_view(start, static_cast<std::size_t>(in.gcount())))) {
      in.close();
      ReadMessageFile(path, 0);
      return;
    }
    in.clear();
    in.seekg(0);
    ReadMbox(path, in);
  }

  void ReadMbox(const std::string& path, std::istream& in) {
    mapi::MboxReader reader(in);
    mapi::MboxMessage m;
    while (!Stopped() && reader.Next(&m)) {
      std::string name = path + ":" + std::to_string(m.number);
      const std::string at = " (byte " + std::to_string(m.offset) + ")";
      if (m.damagedSeparator) Problem(name + ": damaged separator line" + at);
      if (m.tooLarge) {
        Problem(name + ": message too large, skipped" + at);
        continue;
      }
      if (m.empty) {
        Problem(name + ": empty message, skipped" + at);
        continue;
      }
      if (m.truncated) Problem(name + ": the file ends inside this message" + at);
      std::string note;
      auto message = mapi::OpenMimeMessageBytes(m.bytes, {}, &note);
      Visit(std::move(name), m.offset, std::move(message), std::move(note));
    }
    if (reader.failed()) Problem(path + ": cannot be read to its end");
  }

  void ReadFolder(const std::string& path) {
    std::error_code curError, newError;
    const bool hasCur = IsFolder(fs::path(path) / "cur", &curError);
    const bool hasNew = IsFolder(fs::path(path) / "new", &newError);
    if (hasCur || hasNew || curError || newError) {
      // What can be read is read; a subfolder that cannot be is a problem of its own.
      for (const char* sub : {"cur", "new"}) {
        const bool cur = sub == std::string_view("cur");
        const std::error_code& error = cur ? curError : newError;
        if (error) Problem(Failure((fs::path(path) / sub).string(), error));
        if (cur ? hasCur : hasNew) ReadMaildirFiles(path, sub);
      }
      return;
    }
    Listing listing;
    std::error_code ec;
    if (!ListFolder(path, &listing, &ec)) {
      Problem(Failure(path, ec));
      return;
    }
    for (const std::string& name : listing.files) {
      if (Stopped()) return;
      ReadMessageFile((fs::path(path) / name).string(), 0);
    }
    if (!options_.recursive) return;
    for (const std::string& name : listing.folders) {
      if (Stopped()) return;
      ReadFolder((fs::path(path) / name).string());
    }
  }

  // The message files of a Maildir's cur/ or new/, with the flags their names carry.
  void ReadMaildirFiles(const std::string& path, const char* sub) {
    Listing listing;
    std::error_code ec;
    if (!ListFolder(fs::path(path) / sub, &listing, &ec)) {
      Problem(Failure((fs::path(path) / sub).string(), ec) + " (its messages were not read)");
      return;
    }
    for (const std::string& name : listing.files) {
      if (Stopped()) return;
      const auto parsed = mapi::ParseMessageFileName(name);
      ReadMessageFile((fs::path(path) / sub / name).string(),
                      parsed ? mapi::MessageFlagsOf(*parsed) : 0);
    }
  }

  const InputOptions& options_;
  const MessageVisitor& visit_;
  const ProblemSink& problem_;
  int problems_ = 0;
};

}  // namespace

int ReadMessageInput(const std::string& arg, const InputOptions& options,
                     const MessageVisitor& visit, const ProblemSink& problem) {
  InputReader reader(options, visit, problem);
  reader.Read(arg);
  return reader.problems();
}

}  // namespace quorvel::app
