#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "common/siphash.h"
#include "compiler/type_inference/graph.h"
#include "compiler/type_inference/inference.h"
#include "compiler/type_inference/text_pool.h"

namespace mirtova {
namespace {

Expression pa(std::string p, std::string c, uint64_t n = 0) {
  return Expression::predicate_addressing(std::move(p), std::move(c), n);
}
Expression var(std::string name) { return Expression::variable(std::move(name)); }

TEST(TypeExpressionTest, PrintedFormAndStartingType) {
  struct Case {
    Expression e;
    std::string printed;
    std::string type;
  };
  std::vector<std::pair<std::string, Expression>> fields;
  fields.emplace_back("z", Expression::number_literal());
  fields.emplace_back("B", var("x@1"));
  fields.emplace_back("a", Expression::list_literal({}));
  const std::vector<Case> cases = {
      {pa("+", "left"), "PredicateAddressing(+.left)", "number"},
      {pa("Range", "quoril_value"), "PredicateAddressing(Range.quoril_value)", "[number]"},
      {pa("Person", "name", 4), "PredicateAddressing(Person.name)", "any"},
      {var("x@2"), "Variable(x@2)", "any"},
      {Expression::subscript_addressing(var("v"), "a"), "SubscriptAddressingVariable(v).a", "any"},
      {Expression::subscript_addressing(Expression::subscript_addressing(var("v"), "a"), "b"),
       "SubscriptAddressingSubscriptAddressingVariable(v).a.b", "any"},
      {Expression::string_literal(), "StringLiteral", "string"},
      {Expression::null_literal(), "NullLiteral", "any"},
      {Expression::list_literal({}), "ListLiteral[]", "[any]"},
      {Expression::list_literal({Expression::string_literal(), Expression::number_literal()}),
       "ListLiteral[StringLiteral, NumberLiteral]", "[string]"},
      {Expression::list_literal({Expression::list_literal({Expression::boolean_literal()})}),
       "ListLiteral[ListLiteral[BooleanLiteral]]", "[[bool]]"},
      {Expression::record_literal(fields, Type::closed_record({{"a", Type::number()}})),
       "RecordLiteral(B: Variable(x@1), a: ListLiteral[], z: NumberLiteral)", "{a: number}"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.e.to_string(), c.printed);
    EXPECT_EQ(c.e.type().to_string(), c.type) << c.printed;
  }
}

TEST(TypeExpressionTest, FixedLiteralsIgnoreSetType) {
  Expression n = Expression::number_literal();
  n.set_type(Type::string());
  EXPECT_EQ(n.type().to_string(), "number");
  Expression v = var("x@1");
  v.set_type(Type::string());
  EXPECT_EQ(v.type().to_string(), "string");
}

TEST(TypeExpressionTest, DigestIsTheWideHashOfTheText) {
  Expression e = Expression::subscript_addressing(pa("P", "col0"), "f");
  const std::string text = e.to_string();
  Digest128 d = text_digest(e);
  const std::pair<uint64_t, uint64_t> wide = siphash13_128(text);
  EXPECT_EQ(d.high, wide.first);
  EXPECT_EQ(d.low, wide.second);
  // The literal's content and the call number are not part of the identity.
  EXPECT_EQ(text_digest(pa("P", "col0", 0)), text_digest(pa("P", "col0", 9)));
  EXPECT_NE(text_digest(pa("P", "col0")), text_digest(pa("P", "col1")));
}

TEST(TypesGraphTest, DuplicateEdgesAreDropped) {
  struct Case {
    std::string what;
    Edge second;
    bool accepted;
  };
  auto first = [] { return Edge{EdgeKind::Equality, 0, 0, var("x@1"), Expression::string_literal()}; };
  const std::vector<Case> cases = {
      {"same edge", first(), false},
      {"ends swapped", Edge{EdgeKind::Equality, 0, 0, Expression::string_literal(), var("x@1")}, false},
      {"other kind", Edge{EdgeKind::Inclusion, 0, 0, var("x@1"), Expression::string_literal()}, true},
      {"other start", Edge{EdgeKind::Equality, 1, 0, var("x@1"), Expression::string_literal()}, true},
      {"other stop", Edge{EdgeKind::Equality, 0, -1, var("x@1"), Expression::string_literal()}, true},
      {"other end", Edge{EdgeKind::Equality, 0, 0, var("x@2"), Expression::string_literal()}, true},
  };
  for (const Case& c : cases) {
    TypesGraph g;
    ASSERT_TRUE(g.connect(first()));
    EXPECT_EQ(g.connect(c.second), c.accepted) << c.what;
    EXPECT_EQ(g.edges().size(), c.accepted ? 2u : 1u) << c.what;
  }
  // Swapped ends of a directed kind are still one edge.
  TypesGraph g;
  EXPECT_TRUE(g.connect(Edge{EdgeKind::Inclusion, 0, 0, var("l@1"), var("e@1")}));
  EXPECT_FALSE(g.connect(Edge{EdgeKind::Inclusion, 0, 0, var("e@1"), var("l@1")}));
  // Ends differing only in their call number are one edge.
  EXPECT_TRUE(g.connect(Edge{EdgeKind::Argument, 0, 0, pa("F", "quoril_value", 0), pa("F", "col0", 0)}));
  EXPECT_FALSE(g.connect(Edge{EdgeKind::Argument, 0, 0, pa("F", "quoril_value", 1), pa("F", "col0", 1)}));
}

// Ends equal in text are stored once only when nothing inference reads tells
// them apart: each edge gives back its own call numbers, types and literals.
TEST(TypesGraphTest, EdgesKeepTheEndsTheyWereBuiltWith) {
  const std::vector<Edge> built = {
      Edge{EdgeKind::Equality, 0, 0, pa("P", "col0", 1), var("x@1")},
      Edge{EdgeKind::Equality, 1, 2, pa("P", "col0", 2), var("x@1")},
      Edge{EdgeKind::Equality, 3, 4, pa("P", "col0", 1), Expression::variable("x@1", Type::number())},
      Edge{EdgeKind::Inclusion, 0, 0, Expression::list_literal({}), var("x@1")},
      Edge{EdgeKind::Inclusion, 5, 6, Expression::list_literal({}), var("y@1")},
      Edge{EdgeKind::Equality, 0, 0, pa("Range", "quoril_value", 1), var("r@1")},
      Edge{EdgeKind::Equality, 7, 7, pa("Range", "quoril_value", 1), var("r@1")},
      Edge{EdgeKind::Equality, 8, 9, var("x@1"), Expression::number_literal()},
      Edge{EdgeKind::Equality, 9, 9, var("y@1"), Expression::number_literal()},
      Edge{EdgeKind::Equality, 2, 3, pa("+", "left", 7), Expression::string_literal()},
      Edge{EdgeKind::Equality, 3, 3, Expression::boolean_literal(), Expression::null_literal()},
      Edge{EdgeKind::FieldAccess, 4, 0, var("r@1"), Expression::subscript_addressing(var("r@1"), "a")},
      Edge{EdgeKind::Equality, 5, 0, pa("P", "col0", uint64_t{1} << 40), var("z@1")},
      Edge{EdgeKind::Equality, int64_t{1} << 40, -(int64_t{1} << 33), var("z@1"), var("x@1")},
      Edge{EdgeKind::Equality, 6, 0, pa(std::string(70000, 'P'), "col0", 2), var(std::string(70000, 'x'))},
  };
  TypesGraph g;
  for (const Edge& edge : built) ASSERT_TRUE(g.connect(edge));
  // Ends read in place are stored as ends handed over are.
  TypesGraph read;
  for (const Edge& edge : built)
    ASSERT_TRUE(read.connect(edge.kind, edge.start, edge.stop, edge.left, edge.right));
  ASSERT_EQ(read.end_count(), g.end_count());
  const std::vector<Edge> stored = g.edges();
  ASSERT_EQ(stored.size(), built.size());
  const std::vector<Edge> stored_read = read.edges();
  for (size_t i = 0; i < built.size(); ++i) {
    EXPECT_EQ(stored_read[i].left.to_string(), stored[i].left.to_string()) << i;
    EXPECT_EQ(stored_read[i].right.to_string(), stored[i].right.to_string()) << i;
    EXPECT_EQ(read.left(i).number(), g.left(i).number()) << i;
    EXPECT_EQ(read.right(i).number(), g.right(i).number()) << i;
  }
  for (size_t i = 0; i < built.size(); ++i) {
    EXPECT_EQ(stored[i].start, built[i].start) << i;
    EXPECT_EQ(stored[i].stop, built[i].stop) << i;
    for (bool side : {false, true}) {
      const Expression& want = side ? built[i].right : built[i].left;
      const Expression& got = side ? stored[i].right : stored[i].left;
      EXPECT_EQ(got.to_string(), want.to_string()) << i;
      EXPECT_EQ(got.call_number(), want.call_number()) << i;
      EXPECT_EQ(got.type().to_string(), want.type().to_string()) << i;
    }
  }
  // A literal is an end of its own per edge: inference changes its type there.
  EXPECT_NE(g.left(3).number(), g.left(4).number());
  EXPECT_EQ(g.right(0).number(), g.right(1).number());
  // Unless its type never changes, as a scalar literal's does not.
  EXPECT_EQ(g.right(7).number(), g.right(8).number());
  // A type that is more than its kind stays with its own end.
  g.whole_type_mut(g.edge(3).left) = Type::list(Type::number());
  EXPECT_EQ(g.left(3).type().to_string(), "[number]");
  EXPECT_EQ(g.left(4).type().to_string(), "[any]");
  EXPECT_TRUE(g.has_column("Range", "quoril_value"));
}

TEST(TypesGraphTest, ColumnsComeOnlyFromAcceptedEdges) {
  TypesGraph g;
  g.connect(Edge{EdgeKind::Equality, 0, 0, pa("P", "col0"), var("x@1")});
  g.connect(Edge{EdgeKind::Argument, 0, 0, pa("F", "quoril_value"), pa("F", "a")});
  EXPECT_TRUE(g.has_column("P", "col0"));
  EXPECT_TRUE(g.has_column("F", "quoril_value"));
  EXPECT_TRUE(g.has_column("F", "a"));
  EXPECT_FALSE(g.has_column("P", "col1"));
  EXPECT_FALSE(g.has_column("Q", "col0"));
  // An end keeps the predicate and the column as one text: where it is split matters.
  EXPECT_FALSE(g.has_column("Pc", "ol0"));
  EXPECT_FALSE(g.has_column("", "Pcol0"));

  TypesGraph other;
  other.connect(Edge{EdgeKind::Equality, 0, 0, pa("P", "col0", 3), var("x@1")});  // a duplicate of g's first
  other.connect(Edge{EdgeKind::Equality, 0, 0, pa("R", "col2"), var("y@1")});
  g.merge(std::move(other));
  EXPECT_EQ(g.edges().size(), 3u);
  EXPECT_TRUE(g.has_column("R", "col2"));
}

// A pool hands out one number per text, and the texts read stay in place as
// more come, long ones and those read before the index was let go included.
TEST(TextPoolTest, OneNumberPerTextAndTextsStayInPlace) {
  TextPool pool;
  EXPECT_EQ(pool.intern(""), 0u);
  const uint32_t p = pool.intern("P");
  const std::string_view read = pool.text(p);
  const std::string long_text(40000, 'x');
  const uint32_t long_number = pool.intern(long_text);
  std::vector<uint32_t> numbers;
  for (int i = 0; i < 20000; ++i) numbers.push_back(pool.intern("x@" + std::to_string(i)));
  EXPECT_EQ(pool.intern("P"), p);
  EXPECT_EQ(read.data(), pool.text(p).data());
  EXPECT_EQ(pool.text(long_number), long_text);
  EXPECT_NE(pool.intern("P "), p);
  pool.release_index();
  EXPECT_EQ(pool.intern("x@19999"), numbers.back());
  EXPECT_EQ(pool.intern(long_text), long_number);
  EXPECT_EQ(pool.text(numbers[1234]), "x@1234");
  EXPECT_EQ(pool.size(), 20000u + 4u);
}

// Graphs built apart number their names in pools of their own; read together
// they are one program, a name in two graphs one node.
TEST(TypesGraphTest, GraphsOfTheirOwnPoolsAreReadAsOne) {
  TypesGraphs graphs;
  graphs["A"].connect(Edge{EdgeKind::Equality, 0, 0, pa("A", "col0"), var("x@1")});
  graphs["B"].connect(Edge{EdgeKind::Equality, 0, 0, var("unrelated@2"), pa("A", "col1")});
  graphs["B"].connect(Edge{EdgeKind::Equality, 0, 0, var("x@1"), Expression::number_literal()});
  graphs["C"].connect(Edge{EdgeKind::Equality, 1, 2, pa("A", "col1"), Expression::string_literal()});
  graphs["C"].connect(Edge{EdgeKind::Equality, 3, 4, pa("B", "col0"), var("b@3")});
  ASSERT_NE(graphs["A"].pool(), graphs["B"].pool());
  TypeInference inference(std::move(graphs));
  ASSERT_TRUE(inference.infer().ok());
  const PredicateTypes types = inference.all_predicate_types();
  EXPECT_EQ(types.at("A").at("col0").to_string(), "number");
  EXPECT_EQ(types.at("A").at("col1").to_string(), "string");
  EXPECT_EQ(types.at("B").at("col0").to_string(), "any");
}

}  // namespace
}  // namespace mirtova
