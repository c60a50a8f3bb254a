// InternalFault: a broken invariant inside the core (a tree of the wrong shape, a
// span off a character boundary). It is not a user error; the module boundary
// turns it into RuntimeError so that it never aborts the host.
#pragma once

#include <stdexcept>
#include <string>

namespace mirtova {

class InternalFault : public std::runtime_error {
 public:
  explicit InternalFault(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace mirtova
