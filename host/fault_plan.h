// fault_plan.h — the bookkeeping of fault injection, for every host.
//
// Provides: host::FaultPlan, which counts how often each named operation
// asks Host::ShouldFail and says yes at the calls it was told to fail
// (1-based, any number per name). A plan made to count only when a fault is
// planned costs a player's run nothing; a test host counts every call, so
// tests can ask how often an operation ran.
// Depends on: host/run_options.h (a Fault as the run options give it).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "host/run_options.h"

namespace host {

class FaultPlan {
 public:
  enum class Counting { Always, WhenPlanned };
  explicit FaultPlan(Counting counting = Counting::WhenPlanned) : counting_(counting) {}

  // Makes the n-th call (1-based) of `call` fail; n below 1 is ignored.
  void FailAt(const std::string& call, int nth);
  void Add(const std::vector<Fault>& faults);
  // Counts this call of `call` and says whether it is to fail.
  bool ShouldFail(const char* call);
  // How many times `call` has asked so far (with Counting::WhenPlanned,
  // since the first fault was planned).
  int CallCount(const std::string& call) const;

 private:
  std::map<std::string, std::vector<int>, std::less<>> failAt_;
  std::map<std::string, int, std::less<>> calls_;
  Counting counting_;
};

}  // namespace host
