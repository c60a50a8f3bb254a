// Rule lists for the functor tests, written in a short notation, and a
// one-line summary of a rule to compare results by.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/functors/functor_arguments.h"
#include "parser/json.h"
#include "parser/parse_file.h"
#include "parser/traverse.h"
#include "support/trees.h"

namespace mirtova::makes_testing {

// name(x) :- callee1(x), callee2(x), ...; no body when there are no callees.
inline Json calls_rule(const std::string& name, const std::vector<std::string>& callees,
                       bool distinct = false) {
  std::vector<Json> body;
  for (const std::string& c : callees) body.push_back(trees::atom(c, {trees::var("x")}));
  return trees::rule(trees::head(name, {trees::var("x")}), std::move(body), name + "(x)", distinct);
}

// ~name(x), which the parser writes as IsNull over a combine.
inline Json negated(const std::string& name) {
  Json body = trees::conj({trees::atom(name, {trees::var("x")})});
  Json combine = trees::combine(make_object("head", trees::call_node("Combine"), "body", std::move(body)));
  return trees::atom("IsNull", {std::move(combine)});
}

// @Name(P, extra fields...).
inline Json named_annotation(const std::string& name, const std::string& predicate,
                             std::vector<Json> more = {}) {
  Json::ArrayType fields{trees::field(0, trees::pred(predicate))};
  for (Json& f : more) fields.push_back(std::move(f));
  return make_object("head", trees::call_node(name, std::move(fields)), "full_text",
                     name + "(" + predicate + ")");
}

// A program of rules "head(x) :- callee(x), ..." given as head and callees.
struct Calls {
  std::string head;
  std::vector<std::string> callees;
};
inline std::vector<Json> calls_program(const std::vector<Calls>& calls) {
  std::vector<Json> rules;
  for (const Calls& c : calls) rules.push_back(calls_rule(c.head, c.callees));
  return rules;
}

// Statements separated by ";": "F <- G H" is the rule F(x) :- G(x), H(x);
// a bare name is the fact F(x); anything else is parsed as program text
// (functor statements, annotations, constant definitions).
inline std::vector<Json> rules_of(const std::string& text) {
  std::vector<Json> rules;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    std::string item = text.substr(start, end - start);
    start = end + 1;
    while (!item.empty() && item.front() == ' ') item.erase(item.begin());
    while (!item.empty() && item.back() == ' ') item.pop_back();
    if (item.empty()) continue;
    size_t arrow = item.find(" <- ");
    if (arrow != std::string::npos) {
      std::vector<std::string> callees;
      std::string rest = item.substr(arrow + 4) + " ";
      for (size_t at = 0, space; (space = rest.find(' ', at)) != std::string::npos; at = space + 1) {
        if (space > at) callees.push_back(rest.substr(at, space - at));
      }
      rules.push_back(calls_rule(item.substr(0, arrow), callees));
    } else if (item.find_first_of("(:@=") == std::string::npos) {
      rules.push_back(calls_rule(item, {}));
    } else {
      auto parsed = parse_file(item + ";");
      EXPECT_TRUE(parsed.ok()) << item;
      if (parsed.ok()) {
        for (const Json& r : parsed.value().at("rule").as_array()) rules.push_back(r);
      }
    }
  }
  return rules;
}

// "F <- G H" for a rule with a body (the predicates of its conjuncts in order),
// "@Ground(G)" for an annotation or any head whose fields name predicates,
// "F" for a fact.
inline std::string summary(const Json& rule) {
  const Json& head = rule.at("head");
  std::string out(head.at("predicate_name").as_str());
  std::string named;
  if (const Json* record = head.get("record")) {
    for (const Json& field : record->at("field_value").as_array()) {
      const Json* literal = field.at("value").get("expression");
      literal = literal == nullptr ? nullptr : literal->get("literal");
      const Json* predicate = literal == nullptr ? nullptr : literal->get("the_predicate");
      if (predicate == nullptr) continue;
      named += (named.empty() ? "" : " ") + std::string(predicate->at("predicate_name").as_str());
    }
  }
  if (!named.empty()) out += "(" + named + ")";
  if (const Json* body = rule.get("body")) {
    out += " <-";
    for (const Json& conjunct : body->at("conjunction").at("conjunct").as_array()) {
      if (const Json* call = conjunct.get("predicate"))
        out += " " + std::string(call->at("predicate_name").as_str());
    }
  }
  return out;
}

inline std::vector<std::string> summaries(const std::vector<Json>& rules, size_t from = 0) {
  std::vector<std::string> out;
  for (size_t i = from; i < rules.size(); ++i) out.push_back(summary(rules[i]));
  return out;
}

// One functor application a test makes: Made := Functor(arguments).
struct Call {
  std::string made;
  std::string functor;
  ArgumentMap arguments;
};

}  // namespace mirtova::makes_testing
