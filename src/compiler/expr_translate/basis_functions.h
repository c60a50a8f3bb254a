// The built-in function catalogue: every function and operator name the
// expression translator knows for an engine.
#pragma once

#include <memory>
#include <string>

#include "common/name_sets.h"

namespace mirtova {

class Dialect;

// Only ever asked whether they hold a name: hashed.
using BasisNames = HashedNames;

// The names of the plain SQL function catalogue, of the base and the engine's
// function and operator tables, and the names the conversion writes itself.
// Built once per engine and shared read-only.
std::shared_ptr<const BasisNames> basis_functions(const Dialect& dialect);

}  // namespace mirtova
