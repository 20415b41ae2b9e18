// fault_plan.cpp — counting calls and failing the chosen ones.
#include "host/fault_plan.h"

#include <algorithm>
#include <string_view>

namespace host {

void FaultPlan::FailAt(const std::string& call, int nth) {
  if (nth >= 1) failAt_[call].push_back(nth);
}

void FaultPlan::Add(const std::vector<Fault>& faults) {
  for (const Fault& f : faults) FailAt(f.call, f.nth);
}

bool FaultPlan::ShouldFail(const char* call) {
  if (call == nullptr || (counting_ == Counting::WhenPlanned && failAt_.empty())) return false;
  const std::string_view name(call);
  auto counted = calls_.find(name);
  if (counted == calls_.end()) counted = calls_.emplace(std::string(name), 0).first;
  const int n = ++counted->second;
  const auto planned = failAt_.find(name);
  return planned != failAt_.end() && std::find(planned->second.begin(), planned->second.end(), n) != planned->second.end();
}

int FaultPlan::CallCount(const std::string& call) const {
  const auto it = calls_.find(call);
  return it == calls_.end() ? 0 : it->second;
}

}  // namespace host
