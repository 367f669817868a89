// A real FTP server for tests: pyftpdlib started from ftp_server.py under /usr/bin/python3 (the
// system interpreter that has the Debian package), serving a fresh temporary folder on a free
// local port to one user. Stop() (or the destructor) kills it by its process id; the server
// also dies with the test program (parent-death signal), so none is left behind.
//
//   LocalFtpServer server;
//   ASSERT_TRUE(server.Start()) << server.failure();
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifndef TESSARK_FTP_SERVER_SCRIPT
#error "TESSARK_FTP_SERVER_SCRIPT must name ftp_server.py"
#endif

class LocalFtpServer {
 public:
  static constexpr const char* kUser = "tessa";
  static constexpr const char* kPassword = "kettle-brim-7";

  LocalFtpServer() {
    char pattern[] = "/tmp/tessark_ftp_XXXXXX";
    if (mkdtemp(pattern)) root_ = pattern;
  }
  ~LocalFtpServer() {
    Stop();
    std::error_code ignored;
    if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
  }
  LocalFtpServer(const LocalFtpServer&) = delete;
  LocalFtpServer& operator=(const LocalFtpServer&) = delete;

  // Starts the server (options: "--no-epsv", "--no-mlsd"); false with failure() saying why.
  bool Start(std::vector<std::string> options = {}) {
    if (root_.empty()) return Fail("no temporary folder for the server");
    if (access("/usr/bin/python3", X_OK) != 0)
      return Fail("/usr/bin/python3 is missing: the FTP tests need it with python3-pyftpdlib");
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return Fail("pipe failed");
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ < 0) return Fail("fork failed");
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (getppid() != parent) _exit(3);
      dup2(out[1], 1);
      std::vector<std::string> args = {"/usr/bin/python3", TESSARK_FTP_SERVER_SCRIPT,
                                       "--root",           root_,
                                       "--user",           kUser,
                                       "--password",       kPassword};
      args.insert(args.end(), options.begin(), options.end());
      std::vector<char*> argv;
      for (auto& arg : args) argv.push_back(arg.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(4);
    }
    close(out[1]);
    std::string said;
    char chunk[256];
    for (;;) {
      pollfd entry{out[0], POLLIN, 0};
      if (poll(&entry, 1, 15000) <= 0) break;
      const ssize_t got = read(out[0], chunk, sizeof chunk);
      if (got <= 0) break;
      said.append(chunk, static_cast<std::size_t>(got));
      if (said.find('\n') != std::string::npos) break;
    }
    close(out[0]);
    if (said.rfind("PORT ", 0) == 0) {
      port_ = static_cast<std::uint16_t>(std::stoi(said.substr(5)));
      return true;
    }
    Stop();
    return Fail("the FTP server did not start under /usr/bin/python3" +
                (said.empty() ? std::string() : ": " + said));
  }

  // Kills the server at once (as a crash would).
  void Stop() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
  }

  std::uint16_t port() const { return port_; }
  const std::string& root() const { return root_; }
  const std::string& failure() const { return failure_; }

  // Writes a file under the served folder (relative name).
  void Put(const std::string& name, const std::string& bytes) const {
    const std::filesystem::path path = std::filesystem::path(root_) / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<long>(bytes.size()));
  }
  std::string Read(const std::string& name) const { return ReadFile(root_ + "/" + name); }
  bool Exists(const std::string& name) const {
    return std::filesystem::exists(std::filesystem::path(root_) / name);
  }

  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  bool Fail(const std::string& why) {
    failure_ = why;
    return false;
  }

  std::string root_;
  std::string failure_;
  pid_t pid_ = -1;
  std::uint16_t port_ = 0;
};
