#include "check/side_thread.h"

#include <pthread.h>

#include <exception>

namespace polyfrep {

namespace {

struct SideJob {
  const std::function<void()>* work = nullptr;
  std::exception_ptr failure;
};

void* run_side_job(void* job) {
  auto& side = *static_cast<SideJob*>(job);
  try {
    (*side.work)();
  } catch (...) {
    side.failure = std::current_exception();
  }
  return nullptr;
}

bool start_side_thread(SideJob& job, pthread_t& thread) {
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return false;
  const bool started = pthread_attr_setstacksize(&attributes, kCheckStackBytes) == 0 &&
                       pthread_create(&thread, &attributes, run_side_job, &job) == 0;
  pthread_attr_destroy(&attributes);
  return started;
}

}  // namespace

void run_side_by_side(const std::function<void()>& aside, const std::function<void()>& here) {
  SideJob job{&aside, nullptr};
  pthread_t thread;
  const bool started = start_side_thread(job, thread);
  std::exception_ptr here_failure;
  try {
    here();
  } catch (...) {
    here_failure = std::current_exception();
  }
  if (started) {
    pthread_join(thread, nullptr);
  } else {
    run_side_job(&job);
  }
  if (here_failure) std::rethrow_exception(here_failure);
  if (job.failure) std::rethrow_exception(job.failure);
}

}  // namespace polyfrep
