// polyfrep-measure: runs one command and reports its wall time and peak
// resident memory, so the benchmark needs no external timing tool.
//
//   polyfrep-measure [--directory DIR] [--timeout SECONDS] -- COMMAND [ARGUMENT...]
//
// The command runs in DIR (default: the current directory) with standard input
// from /dev/null and standard output discarded; its standard error passes
// through. One line goes to standard output:
//
//   result=exited code=0 wall_seconds=0.012345 peak_rss_kib=3456
//
// result is "exited" (code = exit status), "signaled" (code = signal number)
// or "timeout" (the command ran past SECONDS and was killed; code = 9). The
// wall time runs from just before the fork to the reaping of the child; the
// peak resident set size comes from wait4 and so covers the command alone,
// plus the few pages of this tool's image that the child holds until exec.
// Exit status: 0 when a measurement was taken (a command that cannot be
// executed counts as exited with code 127), 2 for a usage error, 1 when no
// process could be forked.

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
  const char* directory = nullptr;
  std::optional<double> timeout_seconds;
  std::vector<char*> command;  // null-terminated for execvp
};

struct Measurement {
  int wait_status = 0;
  bool timed_out = false;
  double wall_seconds = 0;
  long peak_rss_kib = 0;
};

int usage() {
  std::fprintf(stderr,
               "usage: polyfrep-measure [--directory DIR] [--timeout SECONDS] -- COMMAND "
               "[ARGUMENT...]\n");
  return 2;
}

bool parse_seconds(std::string_view text, double& seconds) {
  const auto result = std::from_chars(text.data(), text.data() + text.size(), seconds);
  return result.ec == std::errc() && result.ptr == text.data() + text.size() && seconds > 0 &&
         std::isfinite(seconds);
}

std::optional<Options> parse_options(int argc, char** argv) {
  Options options;
  int index = 1;
  for (; index < argc; ++index) {
    const std::string_view argument = argv[index];
    if (argument == "--") {
      ++index;
      break;
    }
    if (index + 1 >= argc)
      return std::nullopt;
    if (argument == "--directory") {
      options.directory = argv[++index];
    } else if (argument == "--timeout") {
      double seconds = 0;
      if (!parse_seconds(argv[++index], seconds))
        return std::nullopt;
      options.timeout_seconds = seconds;
    } else {
      return std::nullopt;
    }
  }
  if (index >= argc)
    return std::nullopt;
  options.command.assign(argv + index, argv + argc);
  options.command.push_back(nullptr);
  return options;
}

// Runs in the child between fork and exec: only async-signal-safe calls.
[[noreturn]] void exec_command(const Options& options, const sigset_t& original_mask) {
  sigprocmask(SIG_SETMASK, &original_mask, nullptr);
  if (options.directory != nullptr && chdir(options.directory) != 0) {
    constexpr char kMessage[] = "polyfrep-measure: cannot enter the directory\n";
    (void)!write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
    _exit(127);
  }
  const int null_device = open("/dev/null", O_RDWR);
  if (null_device >= 0) {
    dup2(null_device, STDIN_FILENO);
    dup2(null_device, STDOUT_FILENO);
    close(null_device);
  }
  execvp(options.command[0], options.command.data());
  constexpr char kMessage[] = "polyfrep-measure: cannot run the command\n";
  (void)!write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
  _exit(127);
}

timespec to_timespec(Clock::duration duration) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
  const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(duration - seconds);
  return timespec{static_cast<time_t>(seconds.count()), static_cast<long>(nanoseconds.count())};
}

// Waits for the child, killing it at the deadline. SIGCHLD is blocked, so
// sigtimedwait sleeps until the child ends or the deadline passes.
bool wait_until_deadline(pid_t child, Clock::time_point deadline, const sigset_t& child_signal,
                         int& wait_status, rusage& usage) {
  while (true) {
    const pid_t reaped = wait4(child, &wait_status, WNOHANG, &usage);
    if (reaped == child)
      return false;
    const auto now = Clock::now();
    if (now >= deadline)
      break;
    const timespec remaining = to_timespec(deadline - now);
    sigtimedwait(&child_signal, nullptr, &remaining);  // any outcome: look again
  }
  kill(child, SIGKILL);
  while (wait4(child, &wait_status, 0, &usage) < 0 && errno == EINTR) {
  }
  return true;
}

std::optional<Measurement> measure(const Options& options) {
  sigset_t child_signal;
  sigset_t original_mask;
  sigemptyset(&child_signal);
  sigaddset(&child_signal, SIGCHLD);
  sigprocmask(SIG_BLOCK, &child_signal, &original_mask);

  Measurement measurement;
  rusage usage{};
  const auto start = Clock::now();
  const pid_t child = fork();
  if (child < 0) {
    std::fprintf(stderr, "polyfrep-measure: fork failed: %s\n", std::strerror(errno));
    return std::nullopt;
  }
  if (child == 0)
    exec_command(options, original_mask);

  if (options.timeout_seconds) {
    const auto limit = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(*options.timeout_seconds));
    measurement.timed_out =
        wait_until_deadline(child, start + limit, child_signal, measurement.wait_status, usage);
  } else {
    while (wait4(child, &measurement.wait_status, 0, &usage) < 0 && errno == EINTR) {
    }
  }
  const auto end = Clock::now();
  measurement.wall_seconds = std::chrono::duration<double>(end - start).count();
  measurement.peak_rss_kib = usage.ru_maxrss;  // kibibytes on Linux
  return measurement;
}

void print_measurement(const Measurement& measurement) {
  const char* result = "exited";
  int code = 0;
  if (measurement.timed_out) {
    result = "timeout";
    code = SIGKILL;
  } else if (WIFSIGNALED(measurement.wait_status)) {
    result = "signaled";
    code = WTERMSIG(measurement.wait_status);
  } else {
    code = WEXITSTATUS(measurement.wait_status);
  }
  std::printf("result=%s code=%d wall_seconds=%.6f peak_rss_kib=%ld\n", result, code,
              measurement.wall_seconds, measurement.peak_rss_kib);
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = parse_options(argc, argv);
  if (!options)
    return usage();
  const std::optional<Measurement> measurement = measure(*options);
  if (!measurement)
    return 1;
  print_measurement(*measurement);
  return 0;
}
