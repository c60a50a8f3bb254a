#include <gtest/gtest.h>

#include "parser_prop_sketch.h"

namespace mirtova {
namespace {

using sketch::expression;

struct Case {
  std::string text, tree;
};

TEST(IfThenElseTest, Forms) {
  const Case cases[] = {
      {"if x > 0 then 1 else 0", "if(>(x, 0) ? 1; else 0)"},
      {"if a then 1 else if b then 2 else 3", "if(a ? 1; b ? 2; else 3)"},
      {"if a then (if b then 1 else 2) else 3", "if(a ? if(b ? 1; else 2); else 3)"},
      {"if a then elsewhere else b", "if(a ? elsewhere; else b)"},
      {"if\na then 1 else 2", "if(a ? 1; else 2)"},
      {"if a then \"then\" else 'else'", "if(a ? \"then\"; else \"else\")"},
      {"if a then [1, 2] else []", "if(a ? [1, 2]; else [])"},
      // Not the keyword: other forms read these texts.
      {"iffy", "iffy"},
      {"if(a)", "if(a)"},
      {"If a then 1 else 2", "error: Could not parse expression of a value."},
      {"if\ta then 1 else 2", "error: Could not parse expression of a value."},
  };
  for (const Case& c : cases) EXPECT_EQ(expression(c.text), c.tree) << c.text;
}

TEST(IfThenElseTest, Errors) {
  const Case cases[] = {
      {"if a then 1", "error: I expected string to be split by else in two."},
      {"if a then b then c else d", "error: I expected string to be split by then in two."},
      {"if a then if b then 1 else 2 else 3", "error: I expected string to be split by else in two."},
      // "else if" is found inside "else iffy", leaving "fy" without an "else".
      {"if a then 1 else iffy", "error: I expected string to be split by else in two."},
      {"if a then 1 else 2 else 3", "error: I expected string to be split by else in two."},
      {"if a then 1 else (2", "error: Could not parse expression of a value."},
      {"if 42 + then 1 else 2", "error: Could not parse expression of a value."},
      {"if a then x_1 else 2", "error: Variables starting with x_ are reserved to be Quoril compiler internal. "
                               "Please use a different name."},
  };
  for (const Case& c : cases) EXPECT_EQ(expression(c.text), c.tree) << c.text;
}

TEST(IfThenElseTest, ErrorSpans) {
  const Case cases[] = {
      {"if a then 1", "a then 1"},
      {"if a then b then c else d", "a then b then c"},
      {"if a then 1 else iffy", "fy"},
      {"if a then 1 else b then 2 else 3", "a then 1 else b then 2 else 3"},
  };
  for (const Case& c : cases) EXPECT_EQ(sketch::error_span(parse_expression, c.text), c.tree) << c.text;
}

TEST(IfThenElseTest, ExactTree) {
  EXPECT_EQ(sketch::json_of(parse_implication, "if a then 1 else b"),
            R"({"if_then":[{"condition":{"variable":{"var_name":"a"},"expression_heritage":"a"},)"
            R"("consequence":{"literal":{"the_number":{"number":"1"}},"expression_heritage":"1"}}],)"
            R"("otherwise":{"variable":{"var_name":"b"},"expression_heritage":"b"}})");
}

}  // namespace
}  // namespace mirtova
