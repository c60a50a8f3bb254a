// Running the verifier over program texts in the verifier tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parser/parse_file.h"
#include "verifier/validate.h"

namespace mirtova::verifier {

// The tree of a program text that must parse.
inline Json parsed_program(const std::string& source) {
  auto parsed = parse_file(source);
  EXPECT_TRUE(parsed.ok()) << source << "\n" << (parsed.ok() ? "" : parsed.error().show_message());
  return parsed.ok() ? std::move(parsed).value() : Json::object({{"rule", Json::array()}});
}

inline std::vector<std::string> error_texts(const CheckResult& result) {
  std::vector<std::string> texts;
  for (const CheckError& error : result.errors) texts.push_back(text(error));
  return texts;
}

// The texts of every error the verifier finds in the program, in order.
inline std::vector<std::string> check_errors(const std::string& source) {
  return error_texts(validate(parsed_program(source)));
}

// The body inside the negation that is a body's one conjunct, or nullptr.
inline Json* negated_body(Json& body) {
  Json& conjunct = body.at_mut("conjunction").at_mut("conjunct").as_array_mut()[0];
  Json* predicate = conjunct.get_mut("predicate");
  if (predicate == nullptr || predicate->at("predicate_name").as_str() != "IsNull") return nullptr;
  Json& field = predicate->at_mut("record").at_mut("field_value").as_array_mut()[0];
  return field.at_mut("value").at_mut("expression").at_mut("combine").get_mut("body");
}

// A row of a table-driven check test: a program and the texts a check finds in it.
struct FindingRow {
  const char* what;
  std::string source;
  std::vector<std::string> findings;
};

// Each row's program through `findings_of`, against the row's texts.
template <class FindingsOf>
void expect_findings(const std::vector<FindingRow>& rows, FindingsOf findings_of) {
  for (const FindingRow& row : rows)
    EXPECT_EQ(findings_of(row.source), row.findings) << row.what << "\n" << row.source;
}

}  // namespace mirtova::verifier
