#pragma once

#include <functional>

namespace polyfrep {

// Runs `aside` on a second thread while `here` runs on this one, and returns
// when both are done. Without a second thread (none can be started) `aside`
// runs here after `here`. An exception thrown by either is rethrown, the one
// from `here` first.
void run_side_by_side(const std::function<void()>& aside, const std::function<void()>& here);

}  // namespace polyfrep
