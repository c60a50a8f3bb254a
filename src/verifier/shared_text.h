// A text held once however many findings quote it.
#pragma once

#include <memory>
#include <string>
#include <utility>

namespace mirtova::verifier {

// A rule of n unbound variables, or an ordering of n unknown columns, would
// otherwise hold n copies of its rule or of its column list: the findings take
// memory in proportion to the program, and only their texts, made one at a
// time, take the size of the message.
class SharedText {
 public:
  SharedText() : SharedText(std::string()) {}
  SharedText(std::string text) : text_(std::make_shared<const std::string>(std::move(text))) {}  // NOLINT
  SharedText(const char* text) : SharedText(std::string(text)) {}                                // NOLINT
  const std::string& str() const { return *text_; }

 private:
  std::shared_ptr<const std::string> text_;
};

}  // namespace mirtova::verifier
