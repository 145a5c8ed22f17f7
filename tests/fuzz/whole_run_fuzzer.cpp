// Whole runs built by the property tests' generator, drawing every choice from the fuzzer's bytes:
// the desktop, the host, the argument text and the call that fails. A broken property stops the
// fuzzer with the input that broke it.

#include <cstdio>
#include <cstdlib>

#include "property/properties.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace halvik::property;
  ByteSource random(data, size);
  const RunFacts run = checkScenario(generateScenario(random));
  for (const auto& violation : run.violations)
    std::fprintf(stderr, "broken: %s\n", violation.c_str());
  if (!run.violations.empty()) std::abort();
  return 0;
}
