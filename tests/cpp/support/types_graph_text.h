// Edges of a types graph as one line of text each, for the type inference tests.
#pragma once

#include <string>
#include <vector>

#include "compiler/type_inference/graph.h"

namespace mirtova::trees {

inline std::string kind_name(EdgeKind kind) {
  switch (kind) {
    case EdgeKind::Equality:
      return "Equality";
    case EdgeKind::Inclusion:
      return "Inclusion";
    case EdgeKind::FieldAccess:
      return "FieldAccess";
    case EdgeKind::Argument:
      return "Argument";
  }
  return "?";
}

// "Equality PredicateAddressing(Q.col0) Variable(x@1) (0, 0)"
inline std::string describe(const Edge& e) {
  return kind_name(e.kind) + " " + e.left.to_string() + " " + e.right.to_string() + " (" +
         std::to_string(e.start) + ", " + std::to_string(e.stop) + ")";
}
inline std::vector<std::string> describe(const TypesGraph& g) {
  std::vector<std::string> out;
  for (const Edge& e : g.edges()) out.push_back(describe(e));
  return out;
}

}  // namespace mirtova::trees
