#pragma once

// The promises Halvik makes whatever the desktop and the system do, checked on generated runs.

#include <optional>
#include <string>
#include <vector>

#include "property/faulty_platform.h"
#include "property/scenario.h"
#include "sim/run_halvik.h"

namespace halvik::property {

// What one run did, and the properties it broke.
struct RunFacts {
  std::optional<sim::RunResult> result;  // none when something escaped Form_Load
  Observations seen;
  std::vector<WindowHandle> closeRequests;
  std::vector<std::string> violations;
};

// Runs the scenario and checks every property. When the host is absent or fails, the same run with
// a working host is made too: it must close, end and decide the same.
RunFacts checkScenario(const Scenario& scenario);

}  // namespace halvik::property
