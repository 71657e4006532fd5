#pragma once

#include <cstddef>
#include <functional>

namespace polyfrep {

// The checker walks model trees recursively, to a depth bounded by the
// nesting limit of the model text; every thread it runs on gets this stack.
inline constexpr std::size_t kCheckStackBytes = std::size_t{1} << 30;

// Runs `aside` on a second thread (with the checker's stack) while `here`
// runs on this one, and returns when both are done. Without a second thread
// (none can be started) `aside` runs here after `here`. An exception thrown
// by either is rethrown, the one from `here` first.
void run_side_by_side(const std::function<void()>& aside, const std::function<void()>& here);

}  // namespace polyfrep
