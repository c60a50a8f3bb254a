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

}  // namespace mirtova::verifier
