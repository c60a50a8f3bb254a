#include "assertion/translate_assertion.h"

#include "assertion/parser.h"
#include "assertion/translate.h"
#include "assertion/variable_names.h"
#include "common/strings.h"
#include "compiler/program/name_catalogues.h"

namespace mirtova::assertion {

namespace {

bool name_in_use(std::string_view name, const NameSet& used) {
  // Engines fold the case of names, so a name differing only in case is the same table.
  return used.contains(ascii_lower(name)) || reserved_predicate_names().contains(name);
}

// The number of auxiliary predicates of a translation: every rule is headed by
// the predicate itself or by one of them, numbered from 1 without gaps.
size_t aux_count(const Translation& t) {
  NameSet heads;
  for (size_t at = 0; at < t.program.size();) {
    size_t end = t.program.find('\n', at);
    if (end == std::string::npos) end = t.program.size();
    const std::string_view line = std::string_view(t.program).substr(at, end - at);
    const std::string_view head = line.substr(0, line.find('('));
    if (head != t.predicate) heads.emplace(head);
    at = end + 1;
  }
  return heads.size();
}

// `base`, or the first of base_2, base_3, ... that takes, with its auxiliary
// predicates, no name in use. A name in use blocks at most two candidates, so
// the search ends.
std::string unused_head(const std::string& base, size_t aux, const NameSet& used) {
  auto free = [&](const std::string& head) {
    if (name_in_use(head, used)) return false;
    for (size_t i = 1; i <= aux; ++i)
      if (name_in_use(head + "_" + std::to_string(i), used)) return false;
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

Result<Translation, TranslateError> translate_assertion(const Entry& entry, const NameSet& defined,
                                                        const Schema& schema, const NameSet& used) {
  Result<Expr, std::string> statement = parse_statement(entry.statement);
  if (!statement.ok()) return TranslateError::invalid(std::move(statement).error());
  const std::string head = counterexample_predicate(entry.predicate, entry.name);
  TRY(Translation translation, translate(statement.value(), schema, head));
  // Only a statement that translates waits for its own predicate.
  const std::string& predicate = entry.predicate;
  if (!defined.contains(predicate) && !reserved_predicate_names().contains(predicate) && !predicate.empty() &&
      predicate[0] >= 'A' && predicate[0] <= 'Z')
    return TranslateError::pending({predicate});
  const std::string free_head = unused_head(head, aux_count(translation), used);
  if (free_head == head) return translation;
  return translate(statement.value(), schema, free_head);
}

}  // namespace mirtova::assertion
