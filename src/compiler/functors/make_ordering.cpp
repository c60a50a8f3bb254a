// Make ordering: passes over the instructions until every made name is made.
#include "compiler/functors/make_ordering.h"

#include <algorithm>
#include <iostream>
#include <map>
#include <set>
#include <string_view>

#include "compiler/functors/empty_removal.h"
#include "compiler/functors/functor_call.h"

namespace mirtova {

namespace {

void append_quoted(std::string& out, const std::string& name) {
  out += '"';
  for (char c : name) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  out += '"';
}

// Names in byte order, each quoted, between the given brackets; past
// kListedPendingMakes names, how many more there are, so that a diagnostic
// stays short however many makes wait on one another.
std::string name_list(const NameSet& names, char open, char close) {
  std::string out(1, open);
  size_t listed = 0;
  for (const std::string& name : names) {
    if (listed == kListedPendingMakes) {
      out += ", and " + std::to_string(names.size() - listed) + " more";
      break;
    }
    if (listed++ != 0) out += ", ";
    append_quoted(out, name);
  }
  out += close;
  return out;
}

NameSet pending_among(const NameSet& names, const NameSet& pending) {
  NameSet both;
  for (const std::string& name : names) {
    if (pending.count(name) != 0) both.insert(name);
  }
  return both;
}

NameSet substitutes(const PreparedMake& make) {
  NameSet values;
  for (const auto& [unused, value] : make.arguments) values.insert(value);
  return values;
}

// make_is_ready, answered by a walk of the direct sets that stops at the first
// pending name, instead of a pass over the functor's whole argument set. A
// name whose argument set held no pending name once never will again (only a
// pending name, once made, and a name new to the index gain direct sets), so
// the walk remembers it and never enters it twice. Holds while the index's
// sets are closures.
class ReadinessCheck {
 public:
  ReadinessCheck(const Functors& index, const NameSet& pending) : index_(index), pending_(pending) {}

  // A pending name the make waits for, or null when it is ready.
  const std::string* waits_for(const PreparedMake& make) {
    if (auto it = pending_.find(make.functor); it != pending_.end()) return &*it;
    for (const auto& [unused, value] : make.arguments) {
      if (auto it = pending_.find(value); it != pending_.end()) return &*it;
    }
    // Until the next make, a functor's answer stays what it was.
    auto [answer, fresh] = answers_.try_emplace(make.functor, nullptr);
    if (fresh) answer->second = pending_dependency(make.functor);
    return answer->second;
  }

  // Called once `name` is made and no longer pending.
  void made(const std::string&) { answers_.clear(); }

 private:
  const std::string* pending_dependency(const std::string& functor) {
    std::vector<const std::string*> stack{&functor};
    std::set<std::string_view> visited;
    while (!stack.empty()) {
      auto direct = index_.direct_args.find(*stack.back());
      stack.pop_back();
      if (direct == index_.direct_args.end()) continue;
      for (const std::string& callee : direct->second) {
        if (clean_.count(callee) != 0) continue;
        if (auto it = pending_.find(callee); it != pending_.end()) return &*it;
        if (visited.insert(callee).second) stack.push_back(&callee);
      }
    }
    for (std::string_view name : visited) clean_.emplace(name);
    return nullptr;
  }

  const Functors& index_;
  const NameSet& pending_;
  std::set<std::string, std::less<>> clean_;
  std::map<std::string, const std::string*> answers_;
};

// A make carried out is only ever asked whether its name is pending: what
// else it holds goes back to the allocator, for the copies still to be made.
void let_go(PreparedMake& make) {
  std::string().swap(make.functor);
  ArgumentMap().swap(make.arguments);
}

}  // namespace

bool make_is_ready(const Functors& index, const PreparedMake& make, const NameSet& pending) {
  return pending.count(make.made) != 0 && pending.count(make.functor) == 0 &&
         pending_among(index.argument_set(make.functor), pending).empty() &&
         pending_among(substitutes(make), pending).empty();
}

std::string stuck_line(const Functors& index, const PreparedMake& make, const NameSet& pending) {
  return "[STUCK] " + make.made + " applicant=" + make.functor +
         " app_in_nb=" + (pending.count(make.functor) != 0 ? "true" : "false") +
         " app_args_inter=" + name_list(pending_among(index.argument_set(make.functor), pending), '[', ']') +
         " av_inter=" + name_list(pending_among(substitutes(make), pending), '[', ']') + "\n";
}

Result<Unit, CompileError> make_all(Functors& index, std::vector<MakeInstruction> instructions,
                                    IndexAfterMakes after) {
  std::vector<PreparedMake> makes;
  makes.reserve(instructions.size());
  for (const MakeInstruction& instruction : instructions) {
    TRY(PreparedMake make, prepare_make(index, instruction));
    makes.push_back(std::move(make));
  }
  instructions = {};
  NameSet pending;
  for (const PreparedMake& make : makes) pending.insert(make.made);

  // Most sets that a make forgets are never read again before the next make
  // forgets them once more; the deferral computes only those read. Settled on
  // every way out when the index is to stay whole.
  index.defer_argument_sets(pending);
  struct Settle {
    Functors& index;
    bool settle;
    ~Settle() {
      if (settle) index.settle_argument_sets();
    }
  } settle{index, after == IndexAfterMakes::Indexed};

  // The passes over the list, without visiting every waiting make on every
  // pass: a make found waiting for a pending name waits at least until that
  // name is made (argument sets only grow), so it is looked at again only
  // then, on the first visit after: later in the same pass, or in the next.
  // Should the sets stop being closures, the passes go on as written.
  ReadinessCheck check(index, pending);
  std::map<std::string, std::vector<size_t>> waiting;  // pending name -> the makes found waiting for it
  std::set<size_t> unknown;                            // the makes to be looked at when next visited
  for (size_t k = 0; k < makes.size(); ++k) unknown.insert(k);
  size_t position = 0;  // the next make this pass visits
  bool progress = false;
  while (!pending.empty()) {
    if (index.closures_exact()) {
      auto next = unknown.lower_bound(position);
      if (next != unknown.end()) {
        const size_t k = *next;
        unknown.erase(next);
        position = k + 1;
        const PreparedMake& make = makes[k];
        if (pending.count(make.made) == 0) continue;  // carried out, or another make of the name was
        if (const std::string* blocker = check.waits_for(make)) {
          waiting[*blocker].push_back(k);
          continue;
        }
        TRY_VOID(call_functor(index, make.made, make.functor, make.arguments));
        pending.erase(make.made);
        check.made(make.made);
        let_go(makes[k]);
        progress = true;
        if (auto it = waiting.find(make.made); it != waiting.end()) {
          unknown.insert(it->second.begin(), it->second.end());
          waiting.erase(it);
        }
        continue;
      }
      position = makes.size();
    }
    // A make carried out leaves the pending set at once, so later makes of the
    // same pass may already use it.
    for (; position < makes.size(); ++position) {
      const PreparedMake& make = makes[position];
      if (!make_is_ready(index, make, pending)) continue;
      TRY_VOID(call_functor(index, make.made, make.functor, make.arguments));
      pending.erase(make.made);
      let_go(makes[position]);
      progress = true;
    }
    if (!progress) {
      // One line per pending make, for the first kListedPendingMakes of them.
      std::string lines;
      size_t written = 0;
      for (const PreparedMake& make : makes) {
        if (written == kListedPendingMakes) break;
        if (pending.count(make.made) == 0) continue;
        lines += stuck_line(index, make, pending);
        ++written;
      }
      std::cerr << lines << std::flush;
      return CompileError("Could not resolve Make order for: " + name_list(pending, '{', '}'));
    }
    position = 0;
    progress = false;
  }

  if (after == IndexAfterMakes::Indexed) {
    index.settle_argument_sets();
    TRY_VOID(remove_rules_proven_to_be_nil(index));
  } else {
    index.keep_rules_only();
    TRY_VOID(nullify_rules_proven_to_be_nil(index.rules, &index.names));
  }
  emit_constants(index);
  return Unit{};
}

}  // namespace mirtova
