#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "compiler/dialects/dialect.h"
#include "compiler/expr_translate/expr_translator.h"
#include "support/engine_names.h"
#include "support/trees.h"

namespace mirtova {
namespace {

using namespace trees;

Type num_t() { return Type::number(); }
Type str_t() { return Type::string(); }
Type list_of(Type t) { return Type::list(std::move(t)); }
Type closed(std::vector<std::pair<std::string, Type>> fields) {
  Type::Fields f;
  for (auto& [n, t] : fields) f.insert_or_assign(n, t);
  return Type::closed_record(std::move(f));
}

struct Fixture {
  std::unique_ptr<Dialect> dialect = Dialect::get(engine_of("duckdb"));
  FlagMap flags;
  ExprTranslator tr{{}, *dialect, flags};
};

const Json& arg(const Json& call_expr, size_t i) {
  return call_expr.at("call").at("record").at("field_value").as_array()[i].at("value").at("expression");
}

TEST(ExprValueType, Table) {
  struct Case {
    std::string label;
    Json expr;
    Type expected;
  };
  Fixture f;
  f.tr.variable_types.insert_or_assign("n", num_t());
  f.tr.variable_types.insert_or_assign("s", str_t());
  const std::vector<Case> cases = {
      {"list [x, 1]", list({var("x"), num("1")}), list_of(num_t())},
      {"empty list", list({}), list_of(Type::any())},
      {"Element(Split(s, t), 0)", call("Element", {call("Split", {var("s"), var("t")}), num("0")}), str_t()},
      {"Greatest(x, 2, y)", call("Greatest", {var("x"), num("2"), var("y")}), num_t()},
      {"==", op("==", var("x"), var("y")), Type::boolean()},
      {"++", op("++", var("x"), var("y")), str_t()},
      {"unknown function", call("Frobnicate", {num("1")}), Type::any()},
      {"implication null then 1", implication({{var("c"), null_literal()}}, num("1")), num_t()},
      {"r.a of {a: 1}", subscript(record({{"a", num("1")}}), "a"), num_t()},
      {"r.b of {a: 1}", subscript(record({{"a", num("1")}}), "b"), Type::any()},
      {"known variable", var("n"), num_t()},
      {"unknown variable", var("q"), Type::any()},
      {"Range", call("Range", {num("3")}), list_of(num_t())},
      {"Size", call("Size", {var("l")}), num_t()},
      {"MagicalEntangle", call("MagicalEntangle", {var("s"), var("x")}), str_t()},
      {"Coalesce skips unknown", call("Coalesce", {var("q"), var("s")}), str_t()},
      {"record", record({{"a", num("1")}, {"b", var("s")}}), closed({{"a", num_t()}, {"b", str_t()}})},
      {"FlagValue is text", call("FlagValue", {str("f")}), str_t()},
      {"IsNull is bool", call("IsNull", {var("x")}), Type::boolean()},
      {"Ceil but not Ceiling", call("Ceiling", {num("1")}), Type::any()},
  };
  for (const Case& c : cases)
    EXPECT_TRUE(f.tr.value_type(c.expr).eq(c.expected))
        << c.label << ": " << f.tr.value_type(c.expr).to_string();
}

TEST(ExprValueType, RecordTypeSkipsPositionalFields) {
  Fixture f;
  Json rec = record({{"a", num("1")}}).at("record");
  rec.at_mut("field_value").push(field(Json(int64_t{0}), str("x")));
  Type t = f.tr.record_type(rec);
  EXPECT_TRUE(t.eq(closed({{"a", num_t()}})));
  EXPECT_FALSE(t.is_open());
}

TEST(ExprHints, Table) {
  // Each case hints a tree, then checks the hint on one node (or its absence).
  struct Case {
    std::string label;
    Json expr;
    Type expected;
    std::function<const Json&(const Json&)> node;
    std::optional<Type> hint;
  };
  auto self = [](const Json& e) -> const Json& { return e; };
  auto first_arg = [](const Json& e) -> const Json& { return arg(e, 0); };
  auto second_arg = [](const Json& e) -> const Json& { return arg(e, 1); };
  auto first_element = [](const Json& e) -> const Json& {
    return e.at("literal").at("the_list").at("element").as_array()[0];
  };
  auto field_a = [](const Json& e) -> const Json& {
    return e.at("record").at("field_value").as_array()[0].at("value").at("expression");
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"null as list", null_literal(), list_of(num_t()), self, list_of(num_t())},
      {"null as number", null_literal(), num_t(), self, std::nullopt},
      {"variable as list", var("x"), list_of(str_t()), self, list_of(str_t())},
      {"variable as record", var("x"), closed({{"a", num_t()}}), self, std::nullopt},
      {"any records nothing", list({}), Type::any(), self, std::nullopt},
      {"[[]] outer", list({list({})}), list_of(list_of(num_t())), self, list_of(list_of(num_t()))},
      {"[[]] inner", list({list({})}), list_of(list_of(num_t())), first_element, list_of(num_t())},
      {"Join of []", call("Join", {list({}), str(",")}), Type::any(), first_arg, list_of(str_t())},
      {"ArrayConcat([], [1]) first", call("ArrayConcat", {list({}), list({num("1")})}), Type::any(), first_arg, list_of(num_t())},
      {"ArrayConcat([], [1]) second", call("ArrayConcat", {list({}), list({num("1")})}), Type::any(), second_arg, list_of(str_t())},
      {"record field from record hint", record({{"a", null_literal()}}), closed({{"a", list_of(num_t())}}), field_a, list_of(num_t())},
      {"record field absent from hint", record({{"a", list({})}}), closed({{"b", list_of(num_t())}}), field_a, std::nullopt},
      {"implication branches", implication({{var("c"), null_literal()}}, null_literal()), list_of(num_t()),
       [](const Json& e) -> const Json& { return e.at("implication").at("otherwise"); }, list_of(num_t())},
      {"other call args get nothing", call("Frob", {list({})}), list_of(num_t()), first_arg, std::nullopt},
  };
  // clang-format on
  for (const Case& c : cases) {
    Fixture f;
    f.tr.hint_types(c.expr, c.expected);
    const Type* hint = f.tr.hint_of(c.node(c.expr));
    if (!c.hint) {
      EXPECT_EQ(hint, nullptr) << c.label;
    } else {
      ASSERT_NE(hint, nullptr) << c.label;
      EXPECT_TRUE(hint->eq(*c.hint)) << c.label << ": " << hint->to_string();
    }
  }
}

TEST(ExprHints, FirstHintWinsAndScopesCopy) {
  Fixture f;
  Json n = null_literal();
  f.tr.hint_types(n, list_of(num_t()));
  f.tr.hint_types(n, list_of(str_t()));
  ASSERT_NE(f.tr.hint_of(n), nullptr);
  EXPECT_TRUE(f.tr.hint_of(n)->eq(list_of(num_t())));
  ExprTranslator inner = f.tr.scoped({});
  Json m = null_literal();
  inner.hint_types(m, list_of(num_t()));
  EXPECT_NE(inner.hint_of(n), nullptr);
  EXPECT_EQ(f.tr.hint_of(m), nullptr);
}

TEST(ExprHints, HintedFields) {
  Fixture f;
  Json rec = record({{"a", var("x")}, {"b", var("y")}, {"c", var("z")}});
  f.tr.hint_types(rec, closed({{"a", str_t()}, {"b", list_of(num_t())}, {"c", str_t()}}));
  FieldTypes fields = {
      {"a", num_t()}, {"b", list_of(list_of(Type::any()))}, {"c", Type::any()}, {"d", Type::any()}};
  f.tr.hinted_fields(rec, fields);
  EXPECT_TRUE(fields[0].second.eq(num_t()));           // a known type stays
  EXPECT_TRUE(fields[1].second.eq(list_of(num_t())));  // lists of Any take the hint whole
  EXPECT_TRUE(fields[2].second.eq(str_t()));
  EXPECT_TRUE(fields[3].second.is_any());  // not in the hint
}

TEST(ExprSyntacticTests, TextBooleanAndRecordLiteralType) {
  struct Case {
    Json expr;
    bool text, boolean;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {str("a"), true, false},        {boolean(true), false, true},
      {call("Upper", {var("x")}), true, false},
      {call("StartsWith", {var("x"), var("y")}), false, true},
      {op("is not", var("x"), null_literal()), false, true},
      {call("upper", {var("x")}), false, false},
      {num("1"), false, false},       {Json("text"), false, false},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(is_text_expression(c.expr), c.text) << c.expr.compact();
    EXPECT_EQ(is_boolean_expression(c.expr), c.boolean) << c.expr.compact();
    // A predicate conjunct holds the call alone: it answers as the expression does.
    if (const Json* held = c.expr.is_object() ? c.expr.get("call") : nullptr) {
      EXPECT_EQ(is_boolean_call(*held), c.boolean) << c.expr.compact();
    }
  }
  Json rec = record({{"a", num("1")},
                     {"b", boolean(true)},
                     {"c", str("t")},
                     {"d", record({{"e", num("1")}})},
                     {"v", var("x")}})
                 .at("record");
  Type t = record_literal_type(rec);
  EXPECT_TRUE(t.eq(closed({{"a", num_t()},
                           {"b", Type::boolean()},
                           {"c", str_t()},
                           {"d", closed({{"e", num_t()}})},
                           {"v", str_t()}})))
      << t.to_string();
}

TEST(ExprArrowRecord, Parts) {
  struct Case {
    Json expr;
    std::optional<std::string> arg, value;
  };
  const std::vector<Case> cases = {
      {record({{"value", var("v")}, {"arg", var("a")}}), "a", "v"},
      {record({{"value", var("v")}}), std::nullopt, "v"},
      {record({{"arg", var("a")}, {"arg", var("b")}}), "b", std::nullopt},
      {var("x"), std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    ArrowRecord parts = extract_arrow_record(c.expr);
    auto name = [](const std::optional<Json>& e) -> std::optional<std::string> {
      if (!e) return std::nullopt;
      return std::string(e->at("variable").at("var_name").as_str());
    };
    EXPECT_EQ(name(parts.arg), c.arg) << c.expr.compact();
    EXPECT_EQ(name(parts.value), c.value) << c.expr.compact();
  }
}

}  // namespace
}  // namespace mirtova
