// quorvel profile add NAME --maildir DIR [--address ADDR]... [--default]
// quorvel profile list | remove NAME | default NAME
//
// Profiles name a Maildir (the default store) and the user's own addresses. The first
// profile added becomes the default. Exit status: 0; 1 when the change cannot be made
// (an unknown or existing name, a folder that is no Maildir, an unwritable registry).
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <memory>
#include <ostream>

#include "app/commands.h"
#include "host/profiles.h"
#include "platform/registry_file.h"

namespace quorvel::app {
namespace {

struct ProfileOptions {
  std::string name;
  std::string maildir;
  std::vector<std::string> addresses;
  bool makeDefault = false;
};

int Fail(CommandIo& io, const std::string& error) {
  io.err << "quorvel: " << error << "\n";
  return kExitFailure;
}

int Add(const ProfileOptions& o, CommandIo& io) {
  char resolved[PATH_MAX];
  struct stat st {};
  if (::realpath(o.maildir.c_str(), resolved) == nullptr || ::stat(resolved, &st) != 0 ||
      !S_ISDIR(st.st_mode)) {
    return Fail(io, "the Maildir " + o.maildir + " is not a folder");
  }
  auto registry = platform::OpenDefaultRegistry();
  host::Profiles profiles(*registry);
  std::string error;
  if (!profiles.Add({o.name, resolved, o.addresses, false}, o.makeDefault, &error)) {
    return Fail(io, error);
  }
  io.out << "Added profile " << o.name << " (" << resolved << ")\n";
  return kExitOk;
}

int List(CommandIo& io) {
  auto registry = platform::OpenDefaultRegistry();
  host::Profiles profiles(*registry);
  std::vector<host::Profile> all;
  std::string error;
  if (!profiles.List(&all, &error)) return Fail(io, error);
  for (const host::Profile& p : all) {
    io.out << (p.isDefault ? "* " : "  ") << p.name << "\t"
           << (p.maildir.empty() ? "(damaged)" : p.maildir);
    for (const std::string& a : p.addresses) io.out << "\t" << a;
    io.out << "\n";
  }
  return kExitOk;
}

void SetupProfile(CLI::App& sub, CommandIo& io) {
  auto o = std::make_shared<ProfileOptions>();
  sub.require_subcommand(1);
  CLI::App* add = sub.add_subcommand("add", "Add a profile");
  add->add_option("NAME", o->name, "Profile name")->required();
  add->add_option("--maildir", o->maildir, "The profile's Maildir")->required();
  add->add_option("--address", o->addresses, "An address of the user's own (repeat)");
  add->add_flag("--default", o->makeDefault, "Make it the default profile");
  add->callback([o, &io] { io.status = Add(*o, io); });
  CLI::App* list = sub.add_subcommand("list", "List the profiles (* marks the default)");
  list->callback([&io] { io.status = List(io); });
  CLI::App* remove = sub.add_subcommand("remove", "Remove a profile");
  remove->add_option("NAME", o->name, "Profile name")->required();
  remove->callback([o, &io] {
    auto registry = platform::OpenDefaultRegistry();
    std::string error;
    if (!host::Profiles(*registry).Remove(o->name, &error)) {
      io.status = Fail(io, error);
      return;
    }
    io.out << "Removed profile " << o->name << "\n";
    io.status = kExitOk;
  });
  CLI::App* def = sub.add_subcommand("default", "Make a profile the default one");
  def->add_option("NAME", o->name, "Profile name")->required();
  def->callback([o, &io] {
    auto registry = platform::OpenDefaultRegistry();
    std::string error;
    io.status = host::Profiles(*registry).SetDefault(o->name, &error) ? kExitOk : Fail(io, error);
  });
}

}  // namespace

Command ProfileCommand() {
  return {"profile", "Add, list, remove profiles and choose the default one", SetupProfile};
}

}  // namespace quorvel::app
