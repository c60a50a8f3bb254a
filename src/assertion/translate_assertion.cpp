#include "assertion/translate_assertion.h"

#include "assertion/parser.h"
#include "assertion/translate.h"
#include "assertion/variable_names.h"
#include "common/strings.h"
#include "compiler/program/name_catalogues.h"

namespace mirtova::assertion {

namespace {

bool name_in_use(std::string_view name, const SortedNames& used) {
  // Engines fold the case of names, so a name differing only in case is the same table.
  return used.contains(ascii_lower(name)) || reserved_predicate_names().contains(name);
}

// `t.predicate`, or the first of its _2, _3, ... that takes, with the
// auxiliary predicates named after it, no name in use. A name in use blocks at
// most two candidates, so the search ends.
std::string unused_head(const Translation& t, const SortedNames& used) {
  const std::string& base = t.predicate;
  auto free = [&](const std::string& head) {
    if (name_in_use(head, used)) return false;
    for (const std::string& helper : t.helpers)
      if (name_in_use(head + helper.substr(base.size()), used)) return false;
    return true;
  };
  std::string head = base;
  for (size_t k = 2; !free(head); ++k) head = base + "_" + std::to_string(k);
  return head;
}

}  // namespace

std::string counterexample_predicate(std::string_view predicate, std::string_view name) {
  std::string out = "Assert_";
  append_plain_name(predicate, out);
  out += '_';
  append_plain_name(name, out);
  return out;
}

Result<Translation, TranslateError> translate_assertion(const Entry& entry, const SortedNames& defined,
                                                        const Schema& schema, const SortedNames& used,
                                                        ColumnLists* listed) {
  Result<Expr, std::string> statement = parse_statement(entry.statement);
  if (!statement.ok()) return TranslateError::invalid(std::move(statement).error());
  const std::string head = counterexample_predicate(entry.predicate, entry.name);
  TRY(Translation translation, translate(statement.value(), schema, head, listed));
  // Only a statement that translates waits for its own predicate.
  const std::string& predicate = entry.predicate;
  if (!defined.contains(predicate) && !reserved_predicate_names().contains(predicate) && !predicate.empty() &&
      predicate[0] >= 'A' && predicate[0] <= 'Z')
    return TranslateError::pending({predicate});
  const std::string free_head = unused_head(translation, used);
  if (free_head == head) return translation;
  return translate(statement.value(), schema, free_head, listed);
}

}  // namespace mirtova::assertion
