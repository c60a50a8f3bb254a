// The order and limit denotations of a rule head, restated as @OrderBy and
// @Limit annotation rules so the program model finds them with the others.
#include "parser/forms.h"
#include "parser/tree_build.h"

namespace mirtova {

namespace {

struct DenotedAnnotation {
  const char* key;
  const char* annotation;
};

// Applied, and appended, in this order.
constexpr DenotedAnnotation kDenotedAnnotations[] = {
    {"orderby_denoted", "@OrderBy"},
    {"limit_denoted", "@Limit"},
};

}  // namespace

void append_rule_with_denotations(Json rule, Json::ArrayType& rules) {
  const Json& predicate_name = rule.at("head").at("predicate_name");
  for (const DenotedAnnotation& d : kDenotedAnnotations) {
    Json* denotation = rule.get_mut(d.key);
    if (denotation == nullptr) continue;
    // The annotation's first argument is the predicate itself, so the
    // denotation's positional arguments move one place right, in the rule too.
    Json fields = make_array(make_field(0, make_predicate_literal(predicate_name)));
    for (Json& entry : denotation->at_mut("field_value").as_array_mut()) {
      Json& field = entry.at_mut("field");
      if (field.is_int()) field = Json(field.as_int() + 1);
      fields.push(entry);
    }
    rules.push_back(
        make_object("head", make_call(d.annotation, std::move(fields)), "full_text", rule.at("full_text")));
  }
  rules.push_back(std::move(rule));
}

}  // namespace mirtova
