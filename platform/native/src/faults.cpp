// Fault injection: every failable call asks shouldFail() with its own name.
#include <string>
#include <vector>

#include "world.h"

namespace platform {
namespace {

struct NamedFault {
  std::string callName;
  long nth;    // fire on this call of the name (1-based, counted since arming)
  long times;  // how many calls fire from nth on; < 0 = all
  long seen = 0;
};

struct FaultState {
  std::vector<NamedFault> named;
  long nthAny = 0;  // 0 = off
  long seenAny = 0;
  long fired = 0;
  // Every call name is a string literal of the platform's, so the log keeps
  // pointers: a failable call then costs next to nothing, which matters to a
  // gauge asking for a hundred buffer states per update. Long runs stop
  // logging at a cap; counting goes on.
  std::vector<const char*> log;
  std::vector<std::string> logCopy;  // what failableCallLog() hands out
  bool held = false;
};

constexpr size_t kMostLoggedCalls = size_t{1} << 20;

// At namespace scope rather than behind a function-local guard: shouldFail
// runs on every failable call. Nothing calls it during static initialisation.
FaultState faultState;

FaultState& faults() { return faultState; }

}  // namespace

bool shouldFail(const char* callName) {
  FaultState& state = faults();
  if (state.held) return false;
  if (state.log.size() < kMostLoggedCalls) state.log.push_back(callName);
  ++state.seenAny;
  bool fail = state.seenAny == state.nthAny;  // nthAny 0 (off) never matches
  if (state.named.empty()) {
    if (fail) ++state.fired;
    return fail;
  }
  for (NamedFault& fault : state.named) {
    if (fault.callName != callName) continue;
    ++fault.seen;
    const bool inRange = fault.seen >= fault.nth &&
                         (fault.times < 0 || fault.seen < fault.nth + fault.times);
    fail = fail || inRange;
  }
  if (fail) ++state.fired;
  return fail;
}

void failCall(const std::string& callName, long nth, long times) {
  faults().named.push_back(NamedFault{callName, nth < 1 ? 1 : nth, times});
}

void failNthCall(long nth) {
  faults().nthAny = nth;
  faults().seenAny = 0;
}

void clearFaults() { faults() = FaultState{}; }

void holdFaults(bool held) { faults().held = held; }

const std::vector<std::string>& failableCallLog() {
  FaultState& state = faults();
  if (state.logCopy.size() != state.log.size()) state.logCopy.assign(state.log.begin(), state.log.end());
  return state.logCopy;
}
long failableCallCount() { return faults().seenAny; }
long injectedFailures() { return faults().fired; }

}  // namespace platform
