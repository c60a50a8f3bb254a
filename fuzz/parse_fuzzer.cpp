// libFuzzer driver: any text through the parser and the tree printer. A crash,
// a sanitizer report, a time-out or an allocation past the limit is a finding;
// a parse error is an answer.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/internal_fault.h"
#include "parser/parse_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  try {
    auto tree = mirtova::parse_file(std::move(text));
    if (tree.ok()) (void)tree.value().pretty();
  } catch (const mirtova::InternalFault&) {
    // The module boundary words these as RuntimeError: an answer, not a crash.
  }
  return 0;
}
