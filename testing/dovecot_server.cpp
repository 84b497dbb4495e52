#include "testing/dovecot_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

extern char** environ;

namespace quorvel::testing {
namespace {

constexpr const char* kDovecot = "/usr/sbin/dovecot";
constexpr int kUsers = 64;

bool Accepts(std::uint16_t port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(port);
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  ::close(fd);
  return ok;
}

// Runs a program and waits for it; its exit status, -1 when it could not run.
int RunQuietly(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

std::uint16_t FreeLoopbackPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  std::uint16_t port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
    port = ntohs(addr.sin_port);
  }
  ::close(fd);
  return port;
}

std::unique_ptr<DovecotServer> DovecotServer::Start(const Config& config, std::string* whyNot) {
  auto fail = [&](std::string why) {
    if (whyNot) *whyNot = std::move(why);
    return nullptr;
  };
  if (::access(kDovecot, X_OK) != 0) {
    return fail("Dovecot is not installed (no /usr/sbin/dovecot; apt-get install dovecot-imapd)");
  }
  std::unique_ptr<DovecotServer> server(new DovecotServer);
  std::string pattern = (std::filesystem::temp_directory_path() / "qvdovecot-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return fail("cannot make a temporary folder");
  server->dir_ = pattern;
  const std::string& dir = server->dir_;
  ::chmod(dir.c_str(), 0755);  // the login processes run as another user when we are root
  std::filesystem::create_directories(dir + "/home");
  server->caFile_ = dir + "/cert.pem";
  if (RunQuietly({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                  "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj", "/CN=localhost",
                  "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1", "-keyout",
                  dir + "/key.pem", "-out", server->caFile_}) != 0) {
    return fail("cannot make a certificate with openssl");
  }
  ::chmod((dir + "/key.pem").c_str(), 0644);
  server->port_ = FreeLoopbackPort();
  server->tlsPort_ = FreeLoopbackPort();
  while (server->tlsPort_ == server->port_) server->tlsPort_ = FreeLoopbackPort();

  uid_t uid = ::geteuid();
  gid_t gid = ::getegid();
  std::string internalUser = "dovecot";
  std::string loginUser = "dovenull";
  std::string internalGroup = "dovecot";
  if (uid == 0) {
    // Mail is never handled as root: the users' mail belongs to "nobody".
    const passwd* nobody = ::getpwnam("nobody");
    if (nobody == nullptr) return fail("there is no user \"nobody\" to own the test mail");
    uid = nobody->pw_uid;
    gid = nobody->pw_gid;
    ::chmod((dir + "/home").c_str(), 0777);
  } else {
    const passwd* pw = ::getpwuid(uid);
    const group* gr = ::getgrgid(gid);
    if (pw == nullptr || gr == nullptr) return fail("the current user has no name");
    internalUser = loginUser = pw->pw_name;
    internalGroup = gr->gr_name;
  }
  {
    // Every user there will be, written before the server reads the file once.
    std::ofstream users(dir + "/passwd");
    for (int i = 1; i <= kUsers; ++i) {
      users << "user" << i << ":{PLAIN}" << server->password_ << "\n";
    }
  }
  std::ofstream conf(dir + "/dovecot.conf");
  conf << "protocols = imap\n"
       << "listen = 127.0.0.1\n"
       << "base_dir = " << dir << "/run\n"
       << "state_dir = " << dir << "/state\n"
       << "log_path = " << dir << "/dovecot.log\n"
       << "ssl = yes\n"
       << "ssl_cert = <" << dir << "/cert.pem\n"
       << "ssl_key = <" << dir << "/key.pem\n"
       << "disable_plaintext_auth = no\n"
       << "auth_mechanisms = plain login\n"
       << "default_internal_user = " << internalUser << "\n"
       << "default_internal_group = " << internalGroup << "\n"
       << "default_login_user = " << loginUser << "\n"
       << "first_valid_uid = 0\nfirst_valid_gid = 0\n"
       << "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN username_format=%u " << dir
       << "/passwd\n}\n"
       << "userdb {\n  driver = static\n  args = uid=" << uid << " gid=" << gid << " home=" << dir
       << "/home/%u\n}\n"
       << "mail_location = maildir:~/Maildir\n"
       << "namespace inbox {\n  inbox = yes\n  separator = /\n"
       << "  mailbox Junk {\n    special_use = \\Junk\n    auto = create\n  }\n"
       << "  mailbox Sent {\n    special_use = \\Sent\n    auto = create\n  }\n"
       << "  mailbox Trash {\n    special_use = \\Trash\n    auto = create\n  }\n}\n"
       << "service imap-login {\n"
       << "  inet_listener imap {\n    address = 127.0.0.1\n    port = " << server->port_
       << "\n  }\n"
       << "  inet_listener imaps {\n    address = 127.0.0.1\n    port = " << server->tlsPort_
       << "\n    ssl = yes\n  }\n}\n"
       << "service pop3-login {\n  inet_listener pop3 {\n    port = 0\n  }\n}\n"
       << "protocol imap {\n  mail_max_userip_connections = 200\n";
  if (!config.capabilities.empty()) conf << "  imap_capability = " << config.capabilities << "\n";
  conf << "}\n";
  conf.close();

  std::string confPath = dir + "/dovecot.conf";
  const char* argv[] = {kDovecot, "-F", "-c", confPath.c_str(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, (dir + "/stdout.log").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, (dir + "/stderr.log").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  int rc =
      posix_spawn(&server->pid_, kDovecot, &actions, nullptr, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return fail("cannot run Dovecot");
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (!Accepts(server->port_) || !Accepts(server->tlsPort_)) {
    int status = 0;
    if (::waitpid(server->pid_, &status, WNOHANG) == server->pid_) {
      server->pid_ = -1;
      return fail("Dovecot stopped at start-up: " + ReadFile(dir + "/stderr.log") +
                  ReadFile(dir + "/dovecot.log"));
    }
    if (std::chrono::steady_clock::now() > deadline) {
      return fail("Dovecot did not start listening within 15 seconds");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return server;
}

DovecotServer::~DovecotServer() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  std::error_code ignored;
  if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
}

std::string DovecotServer::Log() const { return ReadFile(dir_ + "/dovecot.log"); }

std::string DovecotServer::AddUser() {
  std::lock_guard<std::mutex> lock(usersMutex_);
  if (users_ == kUsers) return "no-more-users";
  return "user" + std::to_string(++users_);
}

}  // namespace quorvel::testing
