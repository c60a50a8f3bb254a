// The built-in function catalogue of each engine, built once per process.
#include "compiler/expr_translate/basis_functions.h"

#include <array>
#include <string_view>

#include "common/per_engine_cache.h"
#include "compiler/dialects/dialect.h"
#include "compiler/expr_translate/template_tables.h"

namespace mirtova {

namespace {

// Names the conversion writes itself, beyond the template tables.
constexpr std::array<std::string_view, 15> kHandledNames = {"CumulativeSum",
                                                            "CumulativeMax",
                                                            "CumulativeMin",
                                                            "WindowSum",
                                                            "WindowMax",
                                                            "WindowMin",
                                                            "SqlExpr",
                                                            "Cast",
                                                            "TryCast",
                                                            "FlagValue",
                                                            "If",
                                                            "Container",
                                                            "In",
                                                            "ValueOfUnnested",
                                                            "MagicalEntangle"};

std::shared_ptr<const BasisNames> build_basis(const Dialect& dialect) {
  BasisNames names;
  for (const auto& [name, tmpl] : plain_sql_functions()) names.insert(name);
  for (const TemplateRow& row : base_built_in_functions()) names.emplace(row.name);
  for (const TemplateRow& row : dialect.built_in_functions()) {
    // A row for one arity or one kind of argument of a function is not a name of its own.
    if (row.name.find_first_of("/@") == std::string_view::npos) names.emplace(row.name);
  }
  for (const TemplateRow& row : base_infix_operators()) names.emplace(row.name);
  for (const TemplateRow& row : dialect.infix_operators()) {
    if (row.name.find('@') == std::string_view::npos) names.emplace(row.name);
  }
  for (std::string_view name : kHandledNames) names.emplace(name);
  return std::make_shared<const BasisNames>(std::move(names));
}

}  // namespace

std::shared_ptr<const BasisNames> basis_functions(const Dialect& dialect) {
  // Filled by the first caller for each engine in the process (a program build
  // or the name catalogues), under the cache's once-flag of the engine; the
  // set is never changed afterwards.
  static PerEngineCache<std::shared_ptr<const BasisNames>> cache;
  return cache.get(dialect.engine(), [&] { return build_basis(dialect); });
}

}  // namespace mirtova
