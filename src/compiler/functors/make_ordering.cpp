// Make ordering: passes over the instructions until every made name is made.
#include "compiler/functors/make_ordering.h"

#include <algorithm>
#include <iostream>

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

// Names in byte order, each quoted, between the given brackets.
std::string name_list(const NameSet& names, char open, char close) {
  std::string out(1, open);
  bool first = true;
  for (const std::string& name : names) {
    if (!first) out += ", ";
    first = false;
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

Result<Unit, CompileError> make_all(Functors& index, const std::vector<MakeInstruction>& instructions,
                                    IndexAfterMakes after) {
  std::vector<PreparedMake> makes;
  for (const MakeInstruction& instruction : instructions) {
    TRY(PreparedMake make, prepare_make(index, instruction));
    makes.push_back(std::move(make));
  }
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

  while (!pending.empty()) {
    bool progress = false;
    // A make carried out leaves the pending set at once, so later makes of the
    // same pass may already use it.
    for (const PreparedMake& make : makes) {
      if (!make_is_ready(index, make, pending)) continue;
      TRY_VOID(call_functor(index, make.made, make.functor, make.arguments));
      pending.erase(make.made);
      progress = true;
    }
    if (progress) continue;
    std::string lines;
    for (const PreparedMake& make : makes) {
      if (pending.count(make.made) != 0) lines += stuck_line(index, make, pending);
    }
    std::cerr << lines << std::flush;
    return CompileError("Could not resolve Make order for: " + name_list(pending, '{', '}'));
  }

  if (after == IndexAfterMakes::Indexed) {
    index.settle_argument_sets();
    TRY_VOID(remove_rules_proven_to_be_nil(index));
  } else {
    TRY_VOID(nullify_rules_proven_to_be_nil(index.rules, &index.names));
  }
  emit_constants(index);
  return Unit{};
}

}  // namespace mirtova
