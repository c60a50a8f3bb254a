#include "compiler/type_inference/origins.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace mirtova {

namespace {

bool is_undetermined(const Type& type) { return type.is_any() || type.is_atomic(); }

bool equal(const ColumnOrigin* a, const ColumnOrigin* b) {
  return a == b || (a != nullptr && b != nullptr && *a == *b);
}

// The places both types hold a value at, walked without recursion: a type's
// depth is bounded by inference, not by the stack.
template <class Visit>
void walk_pairs(Type& into, const Type& from, Visit&& visit) {
  std::vector<std::pair<Type*, const Type*>> pending = {{&into, &from}};
  while (!pending.empty()) {
    auto [to, source] = pending.back();
    pending.pop_back();
    if (to->is_list() && source->is_list()) {
      pending.emplace_back(&to->element(), &source->element());
    } else if (to->is_record() && source->is_record()) {
      for (auto& [name, field] : to->fields()) {
        auto other = source->fields().find(name);
        if (other != source->fields().end()) pending.emplace_back(&field, &other->second);
      }
    } else if (is_undetermined(*to) && is_undetermined(*source) && source->origin() != nullptr) {
      visit(*to, *source);
    }
  }
}

bool carry_origins(Type& into, const Type& from, bool meet) {
  bool changed = false;
  walk_pairs(into, from, [&](Type& to, const Type& source) {
    std::shared_ptr<const ColumnOrigin> origin =
        meet ? met_origin(to.shared_origin(), source.shared_origin()) : source.shared_origin();
    if (equal(origin.get(), to.origin())) return;
    to.set_origin(std::move(origin));
    changed = true;
  });
  return changed;
}

}  // namespace

std::shared_ptr<const ColumnOrigin> met_origin(const std::shared_ptr<const ColumnOrigin>& a,
                                               const std::shared_ptr<const ColumnOrigin>& b) {
  if (!a || a == b) return b;
  if (!b || *a == *b) return a;
  if (a->several) return a;
  if (b->several) return b;
  std::vector<std::pair<std::string, std::string>> columns;
  for (const ColumnOrigin* origin : {a.get(), b.get()}) {
    columns.emplace_back(origin->table, origin->column);
    columns.insert(columns.end(), origin->more.begin(), origin->more.end());
  }
  std::sort(columns.begin(), columns.end());
  columns.erase(std::unique(columns.begin(), columns.end()), columns.end());
  // A value met from more columns than this is of several sources: each node
  // of a variable joined to thousands of tables would otherwise hold a list
  // of them all, built anew at each meet, in room and work the square of
  // the program.
  if (columns.size() > kMostSourceColumns) {
    static const std::shared_ptr<const ColumnOrigin> several =
        std::make_shared<const ColumnOrigin>(ColumnOrigin{{}, {}, true, {}});
    return several;
  }
  ColumnOrigin met{std::move(columns.front().first), std::move(columns.front().second), false, {}};
  met.more.assign(std::make_move_iterator(columns.begin() + 1), std::make_move_iterator(columns.end()));
  return std::make_shared<const ColumnOrigin>(std::move(met));
}

bool same_origins(const Type& a, const Type& b) {
  std::vector<std::pair<const Type*, const Type*>> pending = {{&a, &b}};
  while (!pending.empty()) {
    auto [x, y] = pending.back();
    pending.pop_back();
    if (x->kind() != y->kind()) continue;
    if (x->is_list()) {
      pending.emplace_back(&x->element(), &y->element());
    } else if (x->is_record()) {
      for (const auto& [name, field] : x->fields()) {
        auto other = y->fields().find(name);
        if (other != y->fields().end()) pending.emplace_back(&field, &other->second);
      }
    } else if (!equal(x->origin(), y->origin())) {
      return false;
    }
  }
  return true;
}

bool merge_origins(Type& into, const Type& from) { return carry_origins(into, from, true); }

bool adopt_origins(Type& into, const Type& from) { return carry_origins(into, from, false); }

}  // namespace mirtova
