#include "app/message_inputs.h"

#include <iostream>
#include <iterator>

#include "mapi/maildir/maildir_listing.h"
#include "mapi/maildir/maildir_names.h"
#include "mapi/mime/mime_message.h"
#include "mapi/tags.h"
#include "platform/file_system.h"

namespace quorvel::app {

bool ExpandMessageInput(const std::string& arg, std::vector<MessageInput>* out,
                        std::string* error) {
  if (arg == "-") {
    out->push_back({arg});
    return true;
  }
  platform::FileSystem& files = platform::RealFileSystem();
  platform::FileInfo info;
  if (!files.Stat(arg, &info).ok() || info.kind == platform::FileKind::kMissing) {
    *error = arg + ": no such file or folder";
    return false;
  }
  if (info.kind != platform::FileKind::kFolder) {
    out->push_back({arg});
    return true;
  }
  if (!mapi::IsMaildirFolder(files, arg)) {
    *error = arg + ": a folder that is not a Maildir folder (no cur/ or new/)";
    return false;
  }
  for (const char* sub : {"cur", "new"}) {
    const std::string shown = platform::JoinFilePath(arg, sub);
    for (const std::string& name : mapi::MaildirFileNames(files, arg, sub)) {
      const auto parsed = mapi::ParseMessageFileName(name);
      out->push_back(
          {platform::JoinFilePath(shown, name), parsed ? mapi::MessageFlagsOf(*parsed) : 0});
    }
  }
  return true;
}

std::shared_ptr<mapi::Message> OpenMessageInput(const MessageInput& input, std::string* error) {
  if (input.path == "-") {
    std::string bytes(std::istreambuf_iterator<char>(std::cin), {});
    if (std::cin.bad()) {
      *error = "-: cannot read standard input";
      return nullptr;
    }
    return mapi::OpenMimeMessageBytes(bytes);
  }
  mapi::MimeMessageContext context;
  context.storeFlags = input.storeFlags;
  auto opened = mapi::OpenMimeMessageFile(input.path, std::move(context));
  if (!opened.ok()) {
    *error =
        input.path + (opened.hr == mapi::MAPI_E_NOT_FOUND ? ": no such file" : ": cannot be read");
    return nullptr;
  }
  return std::move(opened.value);
}

}  // namespace quorvel::app
