// Every message the verifier's error values print, byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "verifier/check_result.h"
#include "verifier/verify_error.h"

namespace mirtova::verifier {
namespace {

using assertion::AssertionError;
using assertion::AssertionErrorKind;

const std::string kDash = "\u2014";

TEST(MessageCatalogue, CatalogueKinds) {
  struct Row {
    VerifyError error;
    std::string text;
  };
  const Row rows[] = {
      {DisjunctionNotSupported{"P(x) :- ~(A(x) | B(x))"},
       "A disjunction inside a negation or a combine is not supported: write the alternatives as rules of a "
       "predicate of their own and use it there, in: P(x) :- ~(A(x) | B(x))"},
      {ReservedPredicateName{"ArgMax", false},
       "Reserved predicate name 'ArgMax': it is a built-in library predicate and cannot be redefined"},
      {ReservedPredicateName{"Upper", true},
       "Reserved predicate name 'Upper': it is a built-in function and cannot be redefined"},
      {UnsafeSqlExpr{"P"}, "Unsafe SqlExpr in rule 'P': raw SQL bypasses verification and portability"},
      {InvalidTableName{"P", "1x"},
       "Invalid table name in rule 'P': '1x' is not a table name: write names of letters, digits and '_', "
       "joined by '.'"},
      {MissingFrontMatterName{},
       "The front matter has no name: give the predicate this file is about, the one that runs (name: ...)"},
      {MissingFrontMatterDescription{"Foo"},
       "The front matter has no description for 'Foo': say what its rows are " + kDash +
           " in the words someone would search for (description: ...)"},
      {MissingFrontMatterDescription{}, "The front matter has no description: say what this file is about " +
                                            kDash +
                                            " in the words someone would search for (description: ...)"},
      {DirectiveMessage{"@Limit needs a number"}, "@Limit needs a number"},
      {DirectiveMessage{""}, ""},
      {FunctorMessage{""}, ""},
      {MissingOrderBy{"Foo"},
       "Missing @OrderBy for 'Foo', the predicate this file is about: without it its rows come back in no "
       "stable order and pages differ between runs; add @OrderBy(Foo, \"column\"); before its rules"},
      {UndefinedFunction{std::nullopt, "Lenght"},
       "Undefined function 'Lenght': not defined and not a built-in"},
      {UndefinedFunction{"Length", "Lenght"},
       "Undefined function 'Lenght': not defined and not a built-in " + kDash + " did you mean 'Length'?"},
  };
  for (const Row& row : rows) EXPECT_EQ(text(row.error), row.text);
}

TEST(MessageCatalogue, CheckErrorsPrintTheirValueAlone) {
  struct Row {
    CheckError error;
    size_t variant;
    std::string text;
  };
  const Row rows[] = {
      {SafetyError{SafetyKind::UnboundHeadVariable, "P(x) :- Q()", "x"}, 0,
       "Unbound variable 'x' in head of rule: P(x) :- Q()"},
      {SafetyError{SafetyKind::UnboundComparedVariable, "r", "y"}, 0,
       "Unbound variable 'y': it is tested (compared, negated, matched) but never given a value in: r"},
      {SafetyError{SafetyKind::UnsafeNegation, "r", "y"}, 0,
       "Unsafe negation: variable 'y' only appears negated in: r"},
      {SafetyError{SafetyKind::UnsafeAggregation, "r", "y"}, 0,
       "Unsafe aggregation: variable 'y' not bound outside aggregate in: r"},
      {SafetyError{SafetyKind::FunctionAsCondition, "r", "F"}, 0,
       "'F' is a function: as a condition, F(...) holds whatever its value; compare its value (F(...) == "
       "true) "
       "in: r"},
      {SafetyError{SafetyKind::DisjunctionInside, "r", ""}, 0,
       "A disjunction inside a negation or a combine is not supported: write the alternatives as rules of a "
       "predicate of their own and use it there, in: r"},
      {SafetyError{SafetyKind::AggregateOutside, "r", "ArgMaxK"}, 0,
       "ArgMaxK is an aggregate that takes how many values to keep: name it with the count, `Top2(x) = "
       "ArgMaxK(x, 2);`, and aggregate with it in a head with distinct, `best? Top2= item -> score`, in: r"},
      {SafetyError{SafetyKind::NotGivenValue, "r", "y"}, 0,
       "Variable 'y' is not given a value in this rule: bind it with a predicate, an equality or an "
       "inclusion."},
      {SafetyError{SafetyKind::AggregateOutside, "r", "Sum"}, 0,
       "'Sum' is an aggregate: aggregate in a head with distinct (`n? Sum= x`) or in a combine (`(combine "
       "Sum= "
       "x :- ...)`), in: r"},
      {StratificationError{{"A", "B", "C"}}, 1, "Negative recursion cycle detected: A -> B -> C"},
      {StratificationError{{"A"}}, 1, "Negative recursion cycle detected: A"},
      {ArityError{ArityKind::InconsistentArity, "P", "", 2, 3, ""}, 2,
       "Predicate 'P' defined with inconsistent arities: 2 and 3"},
      {ArityError{ArityKind::ArityMismatch, "P", "", 2, 1, ""}, 2,
       "Arity mismatch for 'P': expected 2 arguments, got 1"},
      {ArityError{ArityKind::DuplicateColumn, "P", "a", 0, 0, ""}, 2,
       "Column 'a' appears twice in the head of 'P'"},
      {ArityError{ArityKind::UnknownColumn, "P", "b", 0, 0, ""}, 2, "Unknown column 'b' for predicate 'P'"},
      {ArityError{ArityKind::DifferentColumns, "P", "a, b", 0, 0, "a, c"}, 2,
       "Rules of predicate 'P' define different columns: a, b and a, c."},
      {ArityError{ArityKind::NoNumberedColumn, "F", "col0", 0, 0, ""}, 2,
       "Predicate 'F' has no column 'col0'."},
      {ArityError{ArityKind::RestFieldNotARow, "Q", "r", 0, 0, ""}, 2,
       "A rest field (..r) can only pass a whole row of one call on to the head."},
      {RecursionError{RecursionKind::NoBaseCase, "T"}, 3, "Recursive predicate 'T' has no base case"},
      {RecursionError{RecursionKind::TrivialInfiniteLoop, "T"}, 3,
       "Trivial infinite loop: 'T' calls itself with same arguments"},
      {RecursionError{RecursionKind::MissingRecursiveAnnotation, "T"}, 3,
       "Recursive predicate 'T' missing @Recursive annotation"},
      {ReservedError{"Today", false}, 4,
       "Reserved predicate name 'Today': it is a built-in library predicate and cannot be redefined"},
      {SqlExprError{"P", std::nullopt}, 5,
       "Unsafe SqlExpr in rule 'P': raw SQL bypasses verification and portability"},
      {SqlExprError{"P", "a b"}, 5,
       "Invalid table name in rule 'P': 'a b' is not a table name: write names of letters, digits and '_', "
       "joined by '.'"},
      {PositionalError{"P"}, 6,
       "Positional arguments in 'P': Mirtova requires named arguments " + kDash +
           " use `field_name: value` instead of positional arguments"},
      {UndefinedError{"Fooo", std::nullopt, UndefinedKind::Predicate}, 7,
       "Undefined predicate 'Fooo': not defined and not a built-in"},
      {UndefinedError{"Fooo", "Foo", UndefinedKind::Predicate}, 7,
       "Undefined predicate 'Fooo': not defined and not a built-in " + kDash + " did you mean 'Foo'?"},
      {UndefinedError{"Lenght", "Length", UndefinedKind::Function}, 7,
       "Undefined function 'Lenght': not defined and not a built-in " + kDash + " did you mean 'Length'?"},
      {UndefinedError{"Today", std::nullopt, UndefinedKind::NotAFunction}, 7,
       "'Today' is neither a predicate of the program nor a built-in function"},
      {UndefinedError{"P", std::nullopt, UndefinedKind::NoValue}, 7,
       "Predicate 'P' has no value to use here: only a function (a predicate defined with \"=\") can stand "
       "where "
       "a value is expected."},
      {OrderByError{"Foo"}, 8,
       "Missing @OrderBy for 'Foo', the predicate this file is about: without it its rows come back in no "
       "stable order and pages differ between runs; add @OrderBy(Foo, \"column\"); before its rules"},
      {NameError{}, 9,
       "The front matter has no name: give the predicate this file is about, the one that runs (name: ...)"},
      {DescriptionError{std::nullopt}, 10,
       "The front matter has no description: say what this file is about " + kDash +
           " in the words someone would search for (description: ...)"},
      {FunctorError{"Functor 'F' is not defined"}, 11, "Functor 'F' is not defined"},
      {DirectiveError{"@Limit needs a number", {}}, 12, "@Limit needs a number"},
      {AssertionError{AssertionErrorKind::Malformed, "@Assert", "", "", "no named argument"}, 13,
       "Malformed @Assert: no named argument"},
      {AssertionError{AssertionErrorKind::Invalid, "", "P", "a", "unexpected token"}, 13,
       "Invalid assertion 'P.a': unexpected token"},
      {AssertionError{AssertionErrorKind::Duplicate, "", "P", "a", ""}, 13,
       "Duplicate assertion 'P.a': it is stated more than once"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.error.index(), row.variant) << row.text;
    EXPECT_EQ(text(row.error), row.text);
  }
}

}  // namespace
}  // namespace mirtova::verifier
