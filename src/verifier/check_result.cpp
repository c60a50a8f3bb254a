// The text of a check error.
#include "verifier/check_result.h"

namespace mirtova::verifier {

std::string text(const CheckError& error) {
  return std::visit([](const auto& e) { return e.text(); }, error);
}

}  // namespace mirtova::verifier
