#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/siphash.h"
#include "compiler/type_inference/compact_types.h"
#include "compiler/type_inference/flat_index.h"
#include "compiler/type_inference/inference.h"
#include "support/trees.h"
#include "support/types_graph_text.h"

namespace mirtova {
namespace {

using namespace trees;

// Keys whose hashes collide, or all land in few slots, must still be told
// apart by the caller's comparison, before and after the table grows.
TEST(TypesSpeedFlatIndexTest, CollidingHashesKeepKeysApart) {
  struct Case {
    const char* what;
    uint64_t (*hash)(uint32_t key);
  };
  const std::vector<Case> cases = {
      {"all one hash", [](uint32_t) -> uint64_t { return 42; }},
      {"high bits only", [](uint32_t k) -> uint64_t { return uint64_t{k % 7} << 60; }},
      {"distinct", [](uint32_t k) -> uint64_t { return k * 0x9e3779b97f4a7c15ULL; }},
  };
  for (const Case& c : cases) {
    FlatIndex index(2);
    std::vector<uint32_t> keys;
    for (uint32_t k = 0; k < 300; ++k) {
      auto [id, stored] = index.find_or_insert(c.hash(k * 3), static_cast<uint32_t>(keys.size()),
                                               [&](uint32_t id) { return keys[id] == k * 3; });
      ASSERT_TRUE(stored) << c.what << " " << k;
      ASSERT_EQ(id, keys.size()) << c.what;
      keys.push_back(k * 3);
    }
    for (uint32_t k = 0; k < 300; ++k) {
      auto again = index.find_or_insert(c.hash(k * 3), 999, [&](uint32_t id) { return keys[id] == k * 3; });
      EXPECT_EQ(again, std::make_pair(k, false)) << c.what;
      EXPECT_EQ(index.find(c.hash(k * 3), [&](uint32_t id) { return keys[id] == k * 3; }),
                std::make_pair(k, true))
          << c.what;
      EXPECT_FALSE(index.find(c.hash(k * 3 + 1), [&](uint32_t id) { return keys[id] == k * 3 + 1; }).second)
          << c.what;
    }
  }
}

// The one-shot hash must agree with the streaming one for every length,
// around and across whole blocks and with every partial tail.
TEST(TypesSpeedSipHashTest, OneShotEqualsStreaming) {
  std::string text;
  for (int i = 0; i < 70; ++i) text += static_cast<char>(i * 37 + 11);
  for (size_t size = 0; size <= text.size(); ++size) {
    const std::string_view piece(text.data(), size);
    SipHasher13 streaming;
    streaming.write(piece.substr(0, size / 3));
    streaming.write(piece.substr(size / 3));
    EXPECT_EQ(siphash13(piece), streaming.finish()) << size;
  }
}

// A digest is kept with its expression and travels with copies; it must be
// the digest of the expression's own text, whatever was digested before.
TEST(TypesSpeedDigestTest, KeptDigestsMatchFreshOnes) {
  struct Case {
    const char* what;
    Expression (*make)();
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"variable", [] { return Expression::variable("x@1"); }},
      {"column", [] { return Expression::predicate_addressing("P", "col0", 3); }},
      {"subscript", [] { return Expression::subscript_addressing(Expression::variable("r@2"), "k"); }},
      {"long text", [] { return Expression::predicate_addressing(std::string(300, 'p'), std::string(90, 'c'), 1); }},
      // "Z" and the printed text at 160 bytes, and a byte past them.
      {"column at the edge", [] { return Expression::predicate_addressing(std::string(100, 'p'), std::string(37, 'c'), 2); }},
      {"column past the edge", [] { return Expression::predicate_addressing(std::string(100, 'p'), std::string(38, 'c'), 2); }},
      {"variable at the edge", [] { return Expression::variable(std::string(149, 'v')); }},
      {"variable past the edge", [] { return Expression::variable(std::string(150, 'v')); }},
      // Made and digested for one call, copied for another.
      {"column copied for another call",
       [] {
         const Expression first = Expression::predicate_addressing("P", "col0", 3);
         text_digest(first);
         return first.for_call(7);
       }},
      {"nested subscript",
       [] {
         return Expression::subscript_addressing(
             Expression::subscript_addressing(Expression::predicate_addressing("Q", "a", 0), "b"), "c");
       }},
  };
  // clang-format on
  for (const Case& c : cases) {
    const Expression fresh = c.make();
    Expression digested = c.make();
    const Digest128 first = text_digest(digested);
    const Expression copy = digested;
    const Expression moved = std::move(digested);
    const auto wide = siphash13_128(fresh.to_string());
    const Digest128 by_text{wide.first, wide.second};
    EXPECT_EQ(first, by_text) << c.what;
    EXPECT_EQ(text_digest(copy), by_text) << c.what;
    EXPECT_EQ(text_digest(moved), by_text) << c.what;
    EXPECT_EQ(text_digest(fresh), by_text) << c.what;
  }
  EXPECT_EQ(Expression::predicate_addressing("P", "col0", 3).for_call(7).call_number(), 7u);
}

// Copies of composite types are deep: changing one leaves the other alone.
TEST(TypesSpeedTypeTest, CopiesOfCompositeTypesAreDeep) {
  const std::vector<Type> originals = {
      Type::list(Type::number()),
      Type::closed_record({{"a", Type::string()}}),
      Type::list(Type::open_record({{"b", Type::list(Type::boolean())}})),
  };
  for (const Type& original : originals) {
    const std::string before = original.to_string();
    Type copy = original;
    Type* inner = &copy;
    while (inner->is_list()) inner = &inner->element();
    if (inner->is_record()) {
      inner->fields().insert_or_assign("z", Type::number());
    } else {
      *inner = Type::string();
    }
    EXPECT_EQ(original.to_string(), before);
    EXPECT_NE(copy.to_string(), before);
  }
}

// A type kept as its kind alone reads back as the same type, and a slot that
// took a whole type keeps it, whatever comes before and after.
TEST(TypesSpeedTypeTest, CompactTypesReadBackWhatWasSet) {
  Type sourced = Type::any();
  sourced.set_origin(std::make_shared<const ColumnOrigin>(ColumnOrigin{"t", "c", false, {}}));
  const std::vector<Type> types = {
      Type::any(),
      Type::number(),
      Type::list(Type::string()),
      Type::boolean(),
      sourced,
      Type::atomic(),
      Type::open_record({{"a", Type::number()}}),
      Type::string(),
  };
  CompactTypes kept;
  for (const Type& type : types) kept.push_back(type);
  // Each slot is set in turn to every type, the others kept as they were.
  for (size_t at = 0; at < types.size(); ++at) {
    for (const Type& next : types) {
      kept.set(at, next);
      for (size_t other = 0; other < types.size(); ++other) {
        const Type& want = other == at ? next : types[other];
        const Type& got = kept[other];
        EXPECT_EQ(got.to_string(), want.to_string()) << at << " " << other;
        EXPECT_EQ(got.is_open(), want.is_open()) << at << " " << other;
        EXPECT_EQ(got.origin() == nullptr, want.origin() == nullptr) << at << " " << other;
      }
    }
    kept.set(at, types[at]);
  }
  for (size_t at = 0; at < types.size(); ++at) EXPECT_EQ(kept.take(at).to_string(), types[at].to_string());
}

std::vector<const Json*> pointers(const std::vector<Json>& rules) {
  std::vector<const Json*> out;
  for (const Json& r : rules) out.push_back(&r);
  return out;
}

std::string outcome(const std::vector<Json>& rules) {
  auto result = infer_predicate_types(pointers(rules));
  if (!result.ok()) return result.error().message;
  std::string out;
  for (const auto& [predicate, columns] : result.value()) {
    for (const auto& [column, type] : columns)
      out += predicate + "." + column + ": " + type.to_string() + "; ";
  }
  return out;
}

// Which ends share a node decides what types meet: a relation's column is one
// node over all its calls, a functional predicate's column one per call, and
// a subscript one per record node and field.
TEST(TypesSpeedNodeTest, EndsShareNodesByKey) {
  const std::string mismatch = "Type inference error: Type mismatch: cannot match ";
  struct Case {
    const char* what;
    std::vector<Json> rules;
    std::string expected;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"relation columns meet across calls",
       {rule(head("R", {var("z")})),
        rule(head("T", {var("x"), var("y")}), {atom("R", {var("x")}), atom("R", {var("y")}),
                                              unify(var("x"), num()), unify(var("y"), str())})},
       mismatch + "number with string at (0, 0)"},
      {"functional columns stay per call",
       {rule(head("F", {var("a")}, {{"quoril_value", var("a")}})),
        rule(head("T", {var("x"), var("y")}), {unify(var("x"), call("F", {num()})), unify(var("y"), call("F", {str()}))})},
       "F.col0: number; F.quoril_value: number; T.col0: number; T.col1: any; "},
      {"subscripts of one record node meet",
       {rule(head("T", {var("r")}), {unify(subscript(var("r"), "a"), num()), unify(subscript(var("r"), "a"), str())})},
       mismatch + "number with string at (0, 0)"},
      // Node keys follow the printed text, where "a.b" "c" and "a" "b.c" read alike.
      {"columns printed alike share a node",
       {rule(head("a.b", {}, {{"c", num()}})), rule(head("a", {}, {{"b.c", str()}}))},
       mismatch + "number with string at (0, 0)"},
      {"columns printed alike stay apart in the result",
       {rule(head("a.b", {}, {{"c", num()}})), rule(head("a", {}, {{"b.c", num()}}))},
       "a.b.c: number; a.b.c: number; "},  // a.b's c, then a's b.c
      {"a relation's columns meet when a function's column printed alike came first",
       {rule(head("a", {}, {{"b.c", num()}, {"quoril_value", num()}})), rule(head("a.b", {}, {{"c", num()}})),
        rule(head("a.b", {}, {{"c", str()}}))},
       mismatch + "number with string at (0, 0)"},
      {"three columns printed alike, one met twice",
       {rule(head("a.b.c", {}, {{"d", num()}})), rule(head("a", {}, {{"b.c.d", num()}})),
        rule(head("a.b", {}, {{"c.d", num()}})), rule(head("a", {}, {{"b.c.d", num()}}))},
       "a.b.c.d: number; a.b.c.d: number; a.b.c.d: number; "},
      {"calls' columns printed alike stay apart in the result",
       {rule(head("T", {var("x"), var("y")}), {unify(var("x"), call("a.b", {}, {{"c", num()}})),
                                              unify(var("y"), call("a", {}, {{"b.c", num()}}))}),
        rule(head("a.b", {}, {{"c", var("u")}, {"quoril_value", str()}}), {unify(var("u"), num())}),
        rule(head("a", {}, {{"b.c", var("v")}, {"quoril_value", var("v")}}))},
       // a's b.c, then a.b's c; the calls are numbered before the heads, which they do not meet.
       "T.col0: any; T.col1: any; a.b.c: number; a.quoril_value: number; a.b.c: number; a.b.quoril_value: string; "},
      {"subscripts of other fields do not",
       {rule(head("T", {var("r")}), {unify(subscript(var("r"), "a"), num()), unify(subscript(var("r"), "b"), str())})},
       "T.col0: {a: number, b: string}; "},
  };
  // clang-format on
  for (const Case& c : cases) EXPECT_EQ(outcome(c.rules), c.expected) << c.what;
}

}  // namespace
}  // namespace mirtova
