#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/siphash.h"

namespace mirtova {
namespace {

// The published SipHash-2-4 vectors: key 00 01 .. 0f, message 00 01 .. (n-1).
TEST(SipHashTest, ReferenceVectorsOfTwoFourRounds) {
  struct Case {
    size_t length;
    uint64_t expected;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {0, 0x726fdb47dd0e0e31ULL},
      {1, 0x74f839c593dc67fdULL},
      {2, 0x0d6c8009d9a94f5aULL},
      {3, 0x85676696d7fb7e2dULL},
      {15, 0xa129ca6149be45e5ULL},
  };
  // clang-format on
  const uint64_t k0 = 0x0706050403020100ULL;
  const uint64_t k1 = 0x0f0e0d0c0b0a0908ULL;
  for (const Case& c : cases) {
    std::vector<unsigned char> message(c.length);
    for (size_t i = 0; i < c.length; ++i) message[i] = static_cast<unsigned char>(i);
    SipHasher h(k0, k1, 2, 4);
    h.write(message.data(), message.size());
    EXPECT_EQ(h.finish(), c.expected) << "length " << c.length;
  }
  // The 128-bit result of the empty message, as two little-endian halves.
  SipHasher wide(k0, k1, 2, 4, true);
  EXPECT_EQ(wide.finish128(), (std::pair<uint64_t, uint64_t>{0xe6a825ba047f81a3ULL, 0x930255c71472f66dULL}));
}

// One-three rounds under the zero key; the last two are the record-type name
// digests ("\"a\" numeric" and the empty column list, each followed by 0xFF).
TEST(SipHashTest, OneThreeRoundsZeroKey) {
  struct Case {
    std::string text;
    uint64_t expected;
  };
  const std::vector<Case> cases = {
      {"a", 4644417185603328019ULL},
      {"abc", 13851880170939887858ULL},
      {"hello world, this is longer than 8", 18104234253043041871ULL},
      {"ZStringLiteral", 16520136671014401521ULL},
      {"\"a\" numeric\xff", 10303692402198018067ULL},
      {"\xff", 3476900567878811119ULL},
  };
  for (const Case& c : cases) EXPECT_EQ(siphash13(c.text), c.expected) << c.text;
}

TEST(SipHashTest, PiecewiseWritesEqualOneWrite) {
  const std::string text = "PredicateAddressing(Grandparent.col0) and more than two blocks";
  const uint64_t whole = siphash13(text);
  for (size_t cut1 = 0; cut1 <= text.size(); cut1 += 3) {
    for (size_t cut2 = cut1; cut2 <= text.size(); cut2 += 5) {
      SipHasher13 h;
      h.write(std::string_view(text).substr(0, cut1));
      h.write(std::string_view(text).substr(cut1, cut2 - cut1));
      h.write(std::string_view(text).substr(cut2));
      ASSERT_EQ(h.finish(), whole) << cut1 << " " << cut2;
    }
  }
  SipHasher13 h;
  for (char ch : text) h.write_byte(static_cast<unsigned char>(ch));
  EXPECT_EQ(h.finish(), whole);
}

// The one-pass 128-bit digest agrees with the streaming hasher at every
// length around the block edges, and its halves are not the 64-bit result.
TEST(SipHashTest, WideOnePassEqualsStreaming) {
  const std::string text = "PredicateAddressing(Grandparent.col0) and more than two blocks";
  for (size_t size = 0; size <= text.size(); ++size) {
    const std::string_view piece = std::string_view(text).substr(0, size);
    SipHasher h(0, 0, 1, 3, true);
    h.write(piece.substr(0, size / 2));
    h.write(piece.substr(size / 2));
    const std::pair<uint64_t, uint64_t> wide = siphash13_128(piece);
    ASSERT_EQ(h.finish128(), wide) << size;
    EXPECT_NE(wide.first, siphash13(piece)) << size;
    EXPECT_NE(wide.first, wide.second) << size;
  }
}

}  // namespace
}  // namespace mirtova
