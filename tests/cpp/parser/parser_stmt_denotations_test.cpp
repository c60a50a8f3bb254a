#include <gtest/gtest.h>

#include "parser/forms.h"
#include "support/trees.h"

namespace mirtova {
namespace {

using namespace trees;

Json record(std::vector<Json> fields) {
  return Json::object({{"field_value", Json(Json::ArrayType(std::move(fields)))}});
}

TEST(DenotationsTest, AnnotationRulesPrecedeTheRule) {
  struct Case {
    const char* name;
    const Json* order_by;
    const Json* limit;
    std::vector<std::string> heads;
  };
  Json order = record({field(0, var("a")), field("desc", var("b")), field(1, var("c"))});
  Json limit = record({field(0, num("10"))});
  Case cases[] = {
      {"none", nullptr, nullptr, {"F"}},
      {"order_by", &order, nullptr, {"@OrderBy", "F"}},
      {"limit", nullptr, &limit, {"@Limit", "F"}},
      {"both", &order, &limit, {"@OrderBy", "@Limit", "F"}},
  };
  for (const auto& c : cases) {
    Json r = rule_with_body(call_node("F", {field(0, var("x"))}), conj({atom("G", {var("x")})}),
                            "F(x) ... :- G(x)");
    if (c.order_by) r.set("orderby_denoted", *c.order_by);
    if (c.limit) r.set("limit_denoted", *c.limit);
    Json::ArrayType out{rule(call_node("Before"), {}, "Before()")};
    append_rule_with_denotations(r, out);
    ASSERT_EQ(out.size(), c.heads.size() + 1) << c.name;
    EXPECT_EQ(out[0], rule(call_node("Before"), {}, "Before()"));
    for (size_t i = 0; i < c.heads.size(); ++i) {
      const Json& got = out[i + 1];
      EXPECT_EQ(got.at("head").at("predicate_name").as_str(), c.heads[i]) << c.name;
      EXPECT_EQ(got.at("full_text").as_str(), "F(x) ... :- G(x)") << c.name;
      if (i + 1 < c.heads.size()) {
        EXPECT_EQ(got.size(), 2u) << c.name << ": only head and full_text";
      }
    }
    const Json& denoted = out.back();
    EXPECT_EQ(denoted.at("body"), r.at("body"));
    if (c.order_by) {
      Json shifted = record({field(1, var("a")), field("desc", var("b")), field(2, var("c"))});
      EXPECT_EQ(denoted.at("orderby_denoted"), shifted) << c.name;
      Json expected_fields =
          Json::array({field(0, pred("F")), field(1, var("a")), field("desc", var("b")), field(2, var("c"))});
      EXPECT_EQ(out[1].at("head").at("record").at("field_value"), expected_fields) << c.name;
    }
    if (c.limit) {
      EXPECT_EQ(denoted.at("limit_denoted"), record({field(1, num("10"))})) << c.name;
      EXPECT_EQ(out[c.order_by ? 2 : 1].at("head").at("record").at("field_value"),
                Json::array({field(0, pred("F")), field(1, num("10"))}))
          << c.name;
    }
  }
}

}  // namespace
}  // namespace mirtova
