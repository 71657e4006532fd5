#include "check/side_thread.h"

#include <exception>
#include <system_error>
#include <thread>

namespace polyfrep {

namespace {

// Runs the work and hands back what it threw, if anything, so that a
// failure on the second thread reaches the caller on the first.
std::exception_ptr run_caught(const std::function<void()>& work) {
  try {
    work();
  } catch (...) {
    return std::current_exception();
  }
  return nullptr;
}

}  // namespace

void run_side_by_side(const std::function<void()>& aside, const std::function<void()>& here) {
  std::exception_ptr aside_failure;
  std::thread side;
  try {
    side = std::thread([&] { aside_failure = run_caught(aside); });
  } catch (const std::system_error&) {
    // No thread could be started: `aside` runs here once `here` is done.
  }
  const std::exception_ptr here_failure = run_caught(here);
  if (side.joinable()) {
    side.join();
  } else {
    aside_failure = run_caught(aside);
  }
  if (here_failure) std::rethrow_exception(here_failure);
  if (aside_failure) std::rethrow_exception(aside_failure);
}

}  // namespace polyfrep
