#include "cli/run_cli.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

namespace fenmora::testcli {

CliRun RunCli(const std::vector<std::string>& args, const RunOptions& options) {
  const std::string program = options.program.empty() ? FENMORA_CLI : options.program.string();
  int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");

  std::vector<std::string> argvText{program};
  argvText.insert(argvText.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argvText) argv.push_back(a.data());
  argv.push_back(nullptr);

  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    if (!options.workingFolder.empty() && ::chdir(options.workingFolder.c_str()) != 0) ::_exit(126);
    for (const std::string& e : options.env) {
      const auto eq = e.find('=');
      ::setenv(e.substr(0, eq).c_str(), eq == std::string::npos ? "" : e.c_str() + eq + 1, 1);
    }
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  in[0] = out[1] = err[1] = -1;

  // Feeds the input and drains both outputs at the same time, so that neither
  // side waits on a full pipe.
  ::signal(SIGPIPE, SIG_IGN);
  CliRun run;
  size_t written = 0;
  if (options.input.empty()) {
    ::close(in[1]);
    in[1] = -1;
  }
  while (out[0] >= 0 || err[0] >= 0) {
    pollfd fds[3];
    int n = 0;
    if (in[1] >= 0) fds[n++] = {in[1], POLLOUT, 0};
    if (out[0] >= 0) fds[n++] = {out[0], POLLIN, 0};
    if (err[0] >= 0) fds[n++] = {err[0], POLLIN, 0};
    if (::poll(fds, static_cast<nfds_t>(n), -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < n; ++i) {
      if (!fds[i].revents) continue;
      const int fd = fds[i].fd;
      if (fd == in[1]) {
        const ssize_t w = ::write(fd, options.input.data() + written, options.input.size() - written);
        if (w > 0) written += static_cast<size_t>(w);
        if (w < 0 || written == options.input.size()) {
          ::close(in[1]);
          in[1] = -1;
        }
        continue;
      }
      char buf[65536];
      const ssize_t r = ::read(fd, buf, sizeof buf);
      if (r > 0) {
        (fd == out[0] ? run.out : run.err).append(buf, static_cast<size_t>(r));
      } else if (r == 0 || errno != EINTR) {
        ::close(fd);
        (fd == out[0] ? out[0] : err[0]) = -1;
      }
    }
  }
  if (in[1] >= 0) ::close(in[1]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

}  // namespace fenmora::testcli
