// The nodes the compiler generates, in the shapes the parser writes.
#include "parser/tree_build.h"

namespace mirtova {

Json make_variable(Json name) { return make_object("variable", make_object("var_name", std::move(name))); }

Json make_number(int64_t value) {
  return make_object("literal", make_object("the_number", make_object("number", std::to_string(value))));
}

Json make_predicate_literal(Json name) {
  return make_object("literal", make_object("the_predicate", make_object("predicate_name", std::move(name))));
}

Json make_list_literal(Json::ArrayType elements) {
  return make_object("literal", make_object("the_list", make_object("element", std::move(elements))));
}

Json make_field(Json field, Json expression) {
  return make_object("field", std::move(field), "value", make_object("expression", std::move(expression)));
}

Json make_call(Json predicate, Json fields) {
  return make_object("predicate_name", std::move(predicate), "record",
                     make_object("field_value", std::move(fields)));
}

Json make_call_expr(std::string predicate, Json::ArrayType fields) {
  return make_call_expr(make_call(std::move(predicate), std::move(fields)));
}

Json make_call_expr(Json call) { return make_object("call", std::move(call)); }

Json make_predicate_conjunct(Json call) { return make_object("predicate", std::move(call)); }

Json make_unification(Json left, Json right) {
  return make_object("unification",
                     make_object("left_hand_side", std::move(left), "right_hand_side", std::move(right)));
}

Json make_inclusion(Json element, Json list) {
  return make_object("inclusion", make_object("element", std::move(element), "list", std::move(list)));
}

Json make_conjunction(Json conjuncts) {
  return make_object("conjunction", make_object("conjunct", std::move(conjuncts)));
}

}  // namespace mirtova
