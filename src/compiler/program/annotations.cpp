// What a program's annotation statements ask of its compilation, and the texts they yield.
#include "compiler/program/annotations.h"

#include "common/strings.h"
#include "compiler/dialects/dialect.h"
#include "compiler/dialects/quoting.h"
#include "parser/tree_access.h"

namespace mirtova {

// The table of annotation readers: each reads its statement and stores what it
// read. The first statement of @Engine names the engine; later statements of
// one predicate replace what earlier ones stored.
struct AnnotationStore {
  using Store = Result<Unit, CompileError> (*)(const Json& rule, Annotations& into);
  struct Entry {
    std::string_view name;
    Store store;
  };

  static Result<Unit, CompileError> engine(const Json& rule, Annotations& into) {
    TRY(EngineAnnotation read, read_engine(rule));
    if (!into.engine_named_) into.engine_named_ = std::move(read.engine);
    if (read.type_checking) into.type_checking_ = *read.type_checking;
    return Unit{};
  }
  static Result<Unit, CompileError> limit(const Json& rule, Annotations& into) {
    TRY(LimitAnnotation read, read_limit(rule));
    into.limits_[read.predicate] = read.limit;
    return Unit{};
  }
  static Result<Unit, CompileError> order_by(const Json& rule, Annotations& into) {
    TRY(OrderByAnnotation read, read_order_by(rule));
    into.order_by_[read.predicate] = std::move(read.items);
    return Unit{};
  }
  static Result<Unit, CompileError> ground(const Json& rule, Annotations& into) {
    TRY(GroundDef read, read_ground(rule));
    into.grounds_[read.predicate] = std::move(read);
    return Unit{};
  }
  static Result<Unit, CompileError> no_inject(const Json& rule, Annotations& into) {
    TRY(std::string predicate, read_no_inject(rule));
    into.not_injected_.insert(std::move(predicate));
    return Unit{};
  }
  // Read for its refusal only: a function of the program becomes SQL as any predicate does.
  static Result<Unit, CompileError> compile_as_udf(const Json& rule, Annotations&) {
    TRY_VOID(read_compile_as_udf(rule));
    return Unit{};
  }
  static Result<Unit, CompileError> iteration(const Json& rule, Annotations& into) {
    TRY(IterationDef read, read_iteration(rule));
    into.iterations_.push_back(std::move(read));
    return Unit{};
  }
  static Result<Unit, CompileError> define_flag(const Json& rule, Annotations& into) {
    TRY(std::optional<FlagDefinition> read, read_define_flag(rule));
    if (read) into.flags_[read->name] = std::move(read->value);
    return Unit{};
  }
  static Result<Unit, CompileError> dataset(const Json& rule, Annotations& into) {
    TRY(std::optional<std::string> read, read_dataset(rule));
    if (read) into.dataset_ = std::move(*read);
    return Unit{};
  }
  static Result<Unit, CompileError> attach_database(const Json& rule, Annotations&) {
    return read_attach_database(rule);
  }

  // clang-format off
  static constexpr Entry kReaders[] = {
      {"@Engine",         &engine},
      {"@Limit",          &limit},
      {"@OrderBy",        &order_by},
      {"@Ground",         &ground},
      {"@NoInject",       &no_inject},
      {"@With",           &no_inject},
      {"@CompileAsUdf",   &compile_as_udf},
      {"@Iteration",      &iteration},
      {"@DefineFlag",     &define_flag},
      {"@Dataset",        &dataset},
      {"@AttachDatabase", &attach_database},
  };
  // clang-format on

  // The reader of an annotation; nullptr for a name none knows (passed over).
  static Store of(std::string_view name) {
    for (const Entry& entry : kReaders)
      if (entry.name == name) return entry.store;
    return nullptr;
  }
};

Result<Annotations, CompileError> Annotations::extract(const std::vector<Json>& rules,
                                                       std::optional<Engine> engine) {
  return extract(rules, {}, engine);
}

Result<Annotations, CompileError> Annotations::extract(const std::vector<Json>& rules,
                                                       const std::vector<Json>& more,
                                                       std::optional<Engine> engine) {
  Annotations a;
  for (const std::vector<Json>* list : {&rules, &more}) {
    for (const Json& rule : *list) {
      const std::string_view name = head_name(rule);
      if (name.empty() || name[0] != '@') continue;
      if (AnnotationStore::Store store = AnnotationStore::of(name)) TRY_VOID(store(rule, a));
    }
  }
  a.engine_given_ = engine;
  a.index();
  return a;
}

Result<Engine, CompileError> Annotations::engine() const {
  if (engine_given_) return *engine_given_;
  if (!engine_named_) return kDefaultEngine;
  if (std::optional<Engine> named = engine_named(*engine_named_)) return *named;
  return CompileError(unsupported_engine_message(*engine_named_));
}

void Annotations::index() {
  for (const auto& [p, g] : grounds_)
    if (g.table_of != p) owners_of_other_.insert(g.table_of);
  for (size_t i = 0; i < iterations_.size(); ++i) {
    const IterationDef& it = iterations_[i];
    if (it.accumulate) iteration_of_.emplace(*it.accumulate, i);
    for (const std::string& m : it.predicates) iteration_of_.emplace(m, i);
  }
}

std::vector<CompileError> annotation_errors(const std::vector<Json>& rules) {
  std::vector<CompileError> errors;
  Annotations scratch;
  for (const Json& rule : rules) {
    const std::string_view name = head_name(rule);
    if (name.empty() || name[0] != '@') continue;
    if (AnnotationStore::Store store = AnnotationStore::of(name)) {
      Result<Unit, CompileError> read = store(rule, scratch);
      if (!read.ok()) errors.push_back(read.error());
    }
  }
  return errors;
}

std::optional<uint64_t> Annotations::limit_of(std::string_view predicate) const {
  auto it = limits_.find(predicate);
  if (it == limits_.end()) return std::nullopt;
  return it->second;
}

const std::vector<std::string>& Annotations::order_by_of(std::string_view predicate) const {
  static const std::vector<std::string> kNone;
  auto it = order_by_.find(predicate);
  return it == order_by_.end() ? kNone : it->second;
}

const GroundDef* Annotations::ground_of(std::string_view predicate) const {
  auto it = grounds_.find(predicate);
  return it == grounds_.end() ? nullptr : &it->second;
}

bool Annotations::owns_table_of_other(std::string_view predicate) const {
  return owners_of_other_.count(predicate) != 0;
}

bool Annotations::not_injected(std::string_view predicate) const {
  return not_injected_.count(predicate) > 0;
}

const IterationDef* Annotations::iteration_of(std::string_view predicate) const {
  auto it = iteration_of_.find(predicate);
  return it == iteration_of_.end() ? nullptr : &iterations_[it->second];
}

std::string Annotations::default_table(std::string_view predicate) const {
  std::string name = clean_name(predicate);
  if (is_sql_reserved_word(name)) name += "_table";
  return dataset_ ? *dataset_ + "." + name : name;
}

std::string Annotations::order_by_clause(
    std::string_view predicate, const Dialect* dialect,
    const std::function<std::optional<std::string>(std::string_view column)>& key_of) const {
  std::string out;
  for (const std::string& item : order_by_of(predicate)) {
    if (!out.empty()) out += ", ";
    std::string lower = ascii_lower(item);
    auto lower_words = words_of(lower);
    bool descending = false, has_nulls = false;
    for (std::string_view w : lower_words) {
      descending = descending || w == "desc";
      has_nulls = has_nulls || w == "nulls";
    }
    // The column word is quoted when it must be; the rest of the item stays as written.
    std::string written = item;
    auto words = words_of(item);
    if (dialect && !words.empty() && !equals_ascii_lower(words[0], "asc") &&
        !equals_ascii_lower(words[0], "desc")) {
      size_t at = static_cast<size_t>(words[0].data() - item.data());
      std::optional<std::string> key = key_of ? key_of(words[0]) : std::nullopt;
      written = item.substr(0, at) + (key ? *key : sql_column(words[0], *dialect)) +
                item.substr(at + words[0].size());
    }
    if (dialect && dialect->nulls_first_by_default(descending) && !has_nulls) written += " NULLS LAST";
    out += written;
  }
  return out;
}

}  // namespace mirtova
