#include "app/message_inputs.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <system_error>

#include "mapi/maildir/maildir_names.h"
#include "mapi/mime/mime_message.h"
#include "mapi/tags.h"

namespace quorvel::app {
namespace fs = std::filesystem;

namespace {

// The message files of one Maildir subfolder (cur/ or new/), in name order. Names
// starting with '.' are not messages.
void AddMaildirFiles(const fs::path& dir, const std::string& shownDir,
                     std::vector<MessageInput>* out) {
  std::error_code ec;
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    std::error_code typeError;
    if (!entry.is_regular_file(typeError)) continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    const auto parsed = mapi::ParseMessageFileName(name);
    out->push_back({(fs::path(shownDir) / dir.filename() / name).string(),
                    parsed ? mapi::MessageFlagsOf(*parsed) : 0});
  }
}

}  // namespace

bool ExpandMessageInput(std::string arg, std::vector<MessageInput>* out, std::string* error) {
  if (arg == "-") {
    out->push_back({std::move(arg)});
    return true;
  }
  std::error_code ec;
  const fs::file_status status = fs::status(arg, ec);
  if (ec || !fs::exists(status)) {
    *error = arg + ": no such file or folder";
    return false;
  }
  if (!fs::is_directory(status)) {
    out->push_back({std::move(arg)});
    return true;
  }
  const bool hasCur = fs::is_directory(fs::path(arg) / "cur", ec);
  const bool hasNew = fs::is_directory(fs::path(arg) / "new", ec);
  if (!hasCur && !hasNew) {
    *error = arg + ": a folder that is not a Maildir folder (no cur/ or new/)";
    return false;
  }
  if (hasCur) AddMaildirFiles(fs::path(arg) / "cur", arg, out);
  if (hasNew) AddMaildirFiles(fs::path(arg) / "new", arg, out);
  return true;
}

std::vector<std::string_view> ViewsOfCommandLine(std::vector<std::string>* parsed,
                                                 std::span<const char* const> commandLine,
                                                 std::deque<std::string>* kept) {
  std::vector<std::string_view> views;
  views.reserve(parsed->size());
  std::size_t next = commandLine.empty() ? 0 : 1;  // argv[0] is the program
  for (std::string& arg : *parsed) {
    std::size_t at = next;
    while (at < commandLine.size() && (commandLine[at] == nullptr || arg != commandLine[at])) {
      ++at;
    }
    if (at < commandLine.size()) {
      views.emplace_back(commandLine[at]);
      next = at + 1;
    } else {
      views.emplace_back(kept->emplace_back(std::move(arg)));
    }
  }
  std::vector<std::string>().swap(*parsed);
  return views;
}

std::vector<MessageInput> ExpandMessageInputs(std::vector<std::string> args,
                                              std::vector<std::string>* errors) {
  std::vector<MessageInput> inputs;
  inputs.reserve(args.size());
  for (std::string& arg : args) {
    std::string error;
    if (!ExpandMessageInput(std::move(arg), &inputs, &error)) errors->push_back(std::move(error));
  }
  return inputs;
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
