#include "parser/json.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/internal_fault.h"

namespace mirtova {
namespace {

TEST(JsonTest, PrintsRuleKeysInPriorityOrder) {
  Json j = Json::object({{"a", 1}, {"body", true}, {"full_text", "x"}, {"head", nullptr}});
  EXPECT_EQ(j.pretty(), "{\n \"head\": null,\n \"body\": true,\n \"a\": 1,\n \"full_text\": \"x\"\n}");
  EXPECT_EQ(j.compact(), R"({"head":null,"body":true,"a":1,"full_text":"x"})");
}

TEST(JsonTest, PrintsNestedArraysAndEmptyContainers) {
  Json nested = Json::array({1, Json::array({2})});
  EXPECT_EQ(nested.pretty(), "[\n 1,\n [\n  2\n ]\n]");
  Json empties = Json::object({{"a", Json::array()}, {"b", Json::object()}});
  EXPECT_EQ(empties.pretty(), "{\n \"a\": [],\n \"b\": {}\n}");
  EXPECT_EQ(empties.compact(), R"({"a":[],"b":{}})");
  EXPECT_EQ(Json::array().pretty(), "[]");
}

TEST(JsonTest, EscapesStringsByteByByte) {
  struct Case {
    std::string text, printed;
  } cases[] = {
      {"a\"b", R"("a\"b")"},
      {"\n\r\t", R"("\n\r\t")"},
      {"\x1f", R"("\u001f")"},
      {"\x01\x1b\b\f", R"("\u0001\u001b\u0008\u000c")"},
      {"\x7f\xc3\xa9/", "\"\x7f\xc3\xa9/\""},
      {"back\\slash", R"("back\\slash")"},
      {"", R"("")"},
      {"\"", R"("\"")"},
      {std::string(1, '\0'), R"("\u0000")"},
  };
  for (const auto& c : cases) EXPECT_EQ(Json(c.text).compact(), c.printed) << c.text;
}

TEST(JsonTest, EscapesObjectKeysLikeValues) {
  EXPECT_EQ(Json::object({{"a\"b", 1}}).compact(), R"({"a\"b":1})");
}

TEST(JsonTest, PriorityFiftyKeysInByteOrder) {
  Json j = Json::object({{"a", 1}, {"Z", 2}, {"full_text", 3}, {"zz", 4}});
  EXPECT_EQ(j.compact(), R"({"Z":2,"a":1,"zz":4,"full_text":3})");
}

TEST(JsonTest, IntegersAndVarNames) {
  EXPECT_EQ(Json(-5).compact(), "-5");
  EXPECT_EQ(Json(0).compact(), "0");
  EXPECT_EQ(Json(7).as_var_name(), "7");
  EXPECT_EQ(Json(-3).as_var_name(), "-3");
  EXPECT_EQ(Json("x").as_var_name(), "x");
  try {
    (void)Json(true).as_var_name();
    FAIL();
  } catch (const InternalFault& e) {
    EXPECT_STREQ(e.what(), "expected string or int var_name, got \"bool\"");
  }
}

TEST(JsonTest, AccessorMismatchNamesTheKindFound) {
  try {
    (void)Json("s").as_int();
    FAIL();
  } catch (const InternalFault& e) {
    EXPECT_STREQ(e.what(), "expected int, got \"string\"");
  }
  EXPECT_THROW((void)Json(1).as_array_mut(), InternalFault);
}

TEST(JsonTest, EqualityIgnoresInsertionOrder) {
  Json a, b;
  a.set("x", 1);
  a.set("y", Json::array({true}));
  b.set("y", Json::array({true}));
  b.set("x", 1);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a.pretty(), b.pretty());
  EXPECT_FALSE(Json(1) == Json("1"));
}

// Keys up to 7 bytes live in place, the parser's own longer words name their
// constant text and other longer ones are boxed; all must copy, move, compare
// and order as the text they hold.
TEST(JsonTest, KeysOfEveryLengthKeepTheirText) {
  const std::string lengths[] = {"",
                                 "a",
                                 std::string("a\0", 2),
                                 std::string(7, 'k'),
                                 std::string(8, 'k'),
                                 "var_nam",
                                 "var_name",
                                 "predicate_names",
                                 std::string(63, 'w'),
                                 std::string(64, 'w'),
                                 std::string(15, 'k'),
                                 std::string(16, 'k'),
                                 "expression_heritage",
                                 "distinct_denotes",
                                 "distinct_denoted",
                                 "expression_heritage_",
                                 std::string(30, 'x'),
                                 std::string(31, 'y'),
                                 std::string(200, 'z'),
                                 std::string("nul\0inside", 10)};
  for (const std::string& text : lengths) {
    JsonKey key(text);
    EXPECT_EQ(key.view(), text) << text.size();
    JsonKey copy = key;
    JsonKey moved = std::move(copy);
    EXPECT_EQ(moved.view(), text) << text.size();
    EXPECT_TRUE(copy.empty());
    JsonKey assigned("short");
    assigned = moved;
    EXPECT_EQ(assigned, key);
    assigned = JsonKey(std::string(40, 'q'));
    EXPECT_EQ(assigned.view(), std::string(40, 'q'));
    EXPECT_EQ(static_cast<std::string>(key), text);
  }
  EXPECT_TRUE(JsonKey("abc") < JsonKey(std::string(40, 'b')));
  EXPECT_TRUE(JsonKey(std::string(31, 'b')) > JsonKey("b"));
  // Keys in place order by their bytes, the first one first, then by size.
  EXPECT_TRUE(JsonKey("ab") < JsonKey("b"));
  EXPECT_TRUE(JsonKey("a") < JsonKey(std::string("a\0", 2)));
  EXPECT_TRUE(JsonKey("head") > JsonKey("field"));
  EXPECT_TRUE(JsonKey("\xff") > JsonKey("zzzzzzz"));
  EXPECT_FALSE(JsonKey("a") == JsonKey(std::string("a\0", 2)));
}

TEST(JsonTest, ObjectsFindAndReplaceLongAndShortKeys) {
  Json o = Json::object({{std::string(35, 'm'), 1}, {"expression_heritage", "x"}, {"a", true}});
  o.set(std::string(35, 'm'), 2);
  o.set("b", nullptr);
  EXPECT_EQ(o.at(std::string(35, 'm')).as_int(), 2);
  EXPECT_EQ(o.at("expression_heritage").as_str(), "x");
  EXPECT_EQ(o.size(), 4u);
  EXPECT_EQ(o.compact(),
            "{\"a\":true,\"b\":null,\"expression_heritage\":\"x\",\"" + std::string(35, 'm') + "\":2}");
  Json copy = o;
  EXPECT_TRUE(copy == o);
  // Entries go in and out in the middle too, the others keeping their values.
  copy.as_object_mut().erase("b");
  copy.as_object_mut()["aa"] = Json("y");
  EXPECT_FALSE(copy.as_object_mut().try_emplace("aa", 3).second);
  EXPECT_EQ(copy.compact(),
            "{\"a\":true,\"aa\":\"y\",\"expression_heritage\":\"x\",\"" + std::string(35, 'm') + "\":2}");
  EXPECT_EQ(o.size(), 4u);
  // An object of one entry grows, shrinks to none and fills again.
  Json one = Json::object({{"var_name", "x"}});
  Json one_copy = one;
  one.set("field", 1);
  EXPECT_EQ(one.compact(), "{\"field\":1,\"var_name\":\"x\"}");
  EXPECT_EQ(one_copy.compact(), "{\"var_name\":\"x\"}");
  one_copy.as_object_mut().erase("var_name");
  EXPECT_TRUE(one_copy.as_object().empty());
  one_copy.set("b", 2);
  one_copy.set("a", 1);
  EXPECT_EQ(one_copy.compact(), "{\"a\":1,\"b\":2}");
  // Past its room an object doubles it; entries go in and out at either end.
  Json many;
  for (int i = 40; i > 0; --i) many.set("k" + std::to_string(i), i);
  many.as_object_mut().erase("k9");
  many.as_object_mut().erase("k1");
  EXPECT_EQ(many.size(), 38u);
  EXPECT_EQ(many.as_object().begin()->first, "k10");
  EXPECT_EQ((many.as_object().end() - 1)->first, "k8");
  EXPECT_EQ(many.get("k9"), nullptr);
  EXPECT_EQ(many.at("k27").as_int(), 27);
  EXPECT_TRUE(Json(many) == many);
  Json::ObjectType reserved;
  reserved.reserve(1);
  EXPECT_TRUE(reserved.empty());
  reserved.reserve(3);
  reserved.try_emplace("only", 1);
  EXPECT_EQ(reserved.size(), 1u);
  // A child takes the place of the node that holds it.
  Json nested = Json::object({{"inner", Json::object({{"leaf", std::string(20, 'l')}})}});
  nested = std::move(nested.at_mut("inner"));
  EXPECT_EQ(nested.compact(), "{\"leaf\":\"" + std::string(20, 'l') + "\"}");
}

// Keys are compared a word at a time, the last word overlapping the one before:
// a difference at any position of any length must still be seen, in a key in
// place, a boxed one and one of the parser's words.
TEST(JsonTest, KeyLookupSeesADifferenceAtEveryPosition) {
  std::vector<std::string> keys = {"var_name", "expression", "expression_heritage", "predicate_names"};
  for (size_t length = 1; length <= 40; ++length) keys.emplace_back(length, 'k');
  for (const std::string& key : keys) {
    Json o = Json::object({{key, 1}, {"zz", 2}});
    EXPECT_NE(o.get(key), nullptr) << key;
    for (size_t at = 0; at < key.size(); ++at) {
      std::string other = key;
      other[at] = 'j';
      EXPECT_EQ(o.get(other), nullptr) << key << " " << at;
    }
    EXPECT_EQ(o.get(key + "s"), nullptr) << key;
    EXPECT_EQ(o.get(key.substr(1)), nullptr) << key;
  }
}

// A shared string reads, prints and compares as the string of its text; its
// copies hold the one text.
TEST(JsonTest, SharedStringsReadAsStrings) {
  auto text = std::make_shared<const std::string>("Q(x) :- \"A\"(x)");
  const Json shared = Json::shared_str(text);
  const Json plain(*text);
  EXPECT_TRUE(shared.is_str());
  EXPECT_EQ(shared.kind(), Json::Kind::Str);
  EXPECT_EQ(shared.as_str(), *text);
  EXPECT_TRUE(shared.var_name_is(*text));
  EXPECT_EQ(shared.as_var_name(), *text);
  EXPECT_EQ(shared.compact(), plain.compact());
  EXPECT_TRUE(shared == plain);
  EXPECT_TRUE(plain == shared);
  EXPECT_FALSE(shared == Json("other"));
  EXPECT_FALSE(shared == Json(1));
  const Json copy = Json::object({{"full_text", shared}});
  EXPECT_EQ(copy.at("full_text").as_str().data(), text->data());
  EXPECT_TRUE(copy == Json::object({{"full_text", plain}}));
}

// A shared tree reads, prints and compares as the tree it was made from, and a
// change through any mutable accessor reaches only the copy it is made on.
TEST(JsonTest, SharedTreesChangeOnlyTheCopyChanged) {
  // The record and the third item hold no predicate name: each is one shared
  // node, a change inside which copies the whole of it.
  const Json record = Json::object({{"field_value", Json::array({Json::object({{"field", 0}})})}});
  const Json plain = Json::object(
      {{"head", Json::object({{"predicate_name", "P"}, {"record", record}})},
       {"body", Json::array({Json::object({{"predicate_name", "Q"}}), 7, Json::array({record})})},
       {"distinct_denoted", true}});
  JsonNodeTable table;
  // Shared the one way and the other (every container a node, equal ones one).
  for (const Json& shared : {Json::shared_tree(plain, "predicate_name"), Json::shared_tree(plain, table)}) {
    EXPECT_TRUE(shared == plain);
    EXPECT_TRUE(plain == shared);
    EXPECT_EQ(shared.pretty(), plain.pretty());
    EXPECT_EQ(shared.kind(), Json::Kind::Object);
    EXPECT_EQ(shared.at("body").size(), 3u);
    EXPECT_EQ(shared.at("body").as_array()[0].at("predicate_name").as_str(), "Q");
    EXPECT_TRUE(Json::shared_tree(shared, "predicate_name") == plain);

    using Change = void (*)(Json&);
    const Change changes[] = {
        [](Json& j) { j.at_mut("head").set("predicate_name", "R"); },
        [](Json& j) { *j.get_mut("body")->as_array_mut()[0].get_mut("predicate_name") = Json("R"); },
        [](Json& j) { j.at_mut("body").push(8); },
        [](Json& j) { j.as_object_mut().erase("distinct_denoted"); },
        [](Json& j) { j.as_object_mut()["body"].as_array_mut().clear(); },
        [](Json& j) {
          j.at_mut("head").at_mut("record").at_mut("field_value").as_array_mut()[0].set("field", 1);
        },
        [](Json& j) { j.at_mut("body").as_array_mut()[2].as_array_mut()[0].set("more", true); },
    };
    for (Change change : changes) {
      Json copy = shared;
      Json other = shared;
      change(copy);
      Json expected = plain;
      change(expected);
      EXPECT_TRUE(copy == expected) << copy.compact();
      EXPECT_TRUE(other == plain) << other.compact();
      EXPECT_TRUE(shared == plain) << shared.compact();
    }
  }
}

// Trees shared through one table hold an equal part once, however far apart
// they were built; parts that differ in a single value or in its kind stay
// apart, and a change to a part reaches only the tree it is made on.
TEST(JsonTest, SharedTreesOfOneTableHoldEqualPartsOnce) {
  auto call = [](Json field) {
    return Json::object(
        {{"predicate_name", "Q"},
         {"record", Json::object({{"field_value", Json::array({Json::object({{"field", field}})})}})}});
  };
  const std::vector<Json> fields = {Json(0),    Json(1), Json("0"),
                                    Json(true), Json(),  Json("a text longer than a node")};
  JsonNodeTable table;
  std::vector<Json> first, second;
  for (const Json& field : fields) first.push_back(Json::shared_tree(call(field), table));
  for (const Json& field : fields) second.push_back(Json::shared_tree(call(field), table));
  for (size_t i = 0; i < fields.size(); ++i) {
    EXPECT_TRUE(first[i] == call(fields[i])) << first[i].compact();
    EXPECT_EQ(&first[i].as_object(), &second[i].as_object()) << fields[i].compact();
    for (size_t j = 0; j < i; ++j)
      EXPECT_NE(&first[i].at("record").as_object(), &first[j].at("record").as_object())
          << fields[i].compact() << " " << fields[j].compact();
  }
  second[0].at_mut("record").at_mut("field_value").as_array_mut()[0].set("field", 2);
  EXPECT_TRUE(first[0] == call(0));
  EXPECT_TRUE(second[0] == call(2));
  EXPECT_TRUE(Json::shared_tree(call(0), table) == call(0));
}

// Texts of every size around the node's own room read, print, compare, copy
// and move alike, in place or in a block, as values of objects and arrays.
TEST(JsonTest, TextsOfEverySizeReadTheSame) {
  for (size_t size = 0; size <= 40; ++size) {
    std::string text;
    for (size_t i = 0; i < size; ++i) text += static_cast<char>(i % 3 == 2 ? '"' : 'a' + i % 26);
    const Json node(text);
    EXPECT_TRUE(node.is_str()) << size;
    EXPECT_EQ(node.kind(), Json::Kind::Str) << size;
    EXPECT_EQ(node.as_str(), text) << size;
    EXPECT_TRUE(node.var_name_is(text)) << size;
    EXPECT_EQ(node.as_var_name(), text) << size;
    std::string printed = "\"";
    append_json_escaped(printed, text);
    EXPECT_EQ(node.compact(), printed + "\"") << size;
    EXPECT_TRUE(node == Json(std::string_view(text))) << size;
    EXPECT_TRUE(node == Json::shared_str(std::make_shared<const std::string>(text))) << size;
    EXPECT_FALSE(node == Json(text + "b")) << size;
    EXPECT_FALSE(node == Json(static_cast<int64_t>(size))) << size;
    Json tree = Json::object({{"t", node}, {"u", Json::array({node, 1})}});
    Json moved = std::move(tree);
    EXPECT_EQ(moved.at("t").as_str(), text) << size;
    // A child taking its parent's place keeps its text.
    Json inner = moved.at("u");
    inner = std::move(inner.as_array_mut()[0]);
    EXPECT_EQ(inner.as_str(), text) << size;
    moved.at_mut("t") = Json(text + "c");
    EXPECT_EQ(moved.at("t").as_str(), text + "c") << size;
    EXPECT_EQ(moved.at("u").as_array()[0].as_str(), text) << size;
  }
  EXPECT_THROW((void)Json(1).as_str(), InternalFault);
}

}  // namespace
}  // namespace mirtova
