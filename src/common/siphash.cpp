#include "common/siphash.h"

#include <cstring>

namespace mirtova {

namespace {

inline uint64_t rotl(uint64_t x, int b) { return (x << b) | (x >> (64 - b)); }

inline void sip_round(uint64_t& v0, uint64_t& v1, uint64_t& v2, uint64_t& v3) {
  v0 += v1;
  v1 = rotl(v1, 13);
  v1 ^= v0;
  v0 = rotl(v0, 32);
  v2 += v3;
  v3 = rotl(v3, 16);
  v3 ^= v2;
  v0 += v3;
  v3 = rotl(v3, 21);
  v3 ^= v0;
  v2 += v1;
  v1 = rotl(v1, 17);
  v1 ^= v2;
  v2 = rotl(v2, 32);
}

// Eight bytes as a little-endian number, whatever the machine's byte order.
inline uint64_t load_le64(const unsigned char* p) {
  uint64_t block;
  std::memcpy(&block, p, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  block = __builtin_bswap64(block);
#endif
  return block;
}

}  // namespace

SipHasher::SipHasher(uint64_t k0, uint64_t k1, int compression_rounds, int finalization_rounds, bool wide)
    : v0_(k0 ^ 0x736f6d6570736575ULL),
      v1_(k1 ^ 0x646f72616e646f6dULL ^ (wide ? 0xee : 0)),
      v2_(k0 ^ 0x6c7967656e657261ULL),
      v3_(k1 ^ 0x7465646279746573ULL),
      c_rounds_(compression_rounds),
      d_rounds_(finalization_rounds) {}

void SipHasher::compress(uint64_t block) {
  v3_ ^= block;
  for (int i = 0; i < c_rounds_; ++i) sip_round(v0_, v1_, v2_, v3_);
  v0_ ^= block;
}

void SipHasher::write(const unsigned char* data, size_t size) {
  length_ += size;
  size_t i = 0;
  if (tail_size_ != 0) {
    // Complete the pending partial block first; most pieces are short and end here.
    const size_t take = size < 8 - tail_size_ ? size : 8 - tail_size_;
    for (; i < take; ++i) tail_ |= uint64_t{data[i]} << (8 * tail_size_++);
    if (tail_size_ < 8) return;
    compress(tail_);
    tail_ = 0;
    tail_size_ = 0;
  }
  for (; i + 8 <= size; i += 8) compress(load_le64(data + i));
  for (; i < size; ++i) tail_ |= uint64_t{data[i]} << (8 * tail_size_++);
}

uint64_t SipHasher::finish() const {
  SipHasher s = *this;
  s.compress(s.tail_ | (s.length_ << 56));
  s.v2_ ^= 0xff;
  for (int i = 0; i < s.d_rounds_; ++i) sip_round(s.v0_, s.v1_, s.v2_, s.v3_);
  return s.v0_ ^ s.v1_ ^ s.v2_ ^ s.v3_;
}

std::pair<uint64_t, uint64_t> SipHasher::finish128() const {
  SipHasher s = *this;
  s.compress(s.tail_ | (s.length_ << 56));
  s.v2_ ^= 0xee;
  for (int i = 0; i < s.d_rounds_; ++i) sip_round(s.v0_, s.v1_, s.v2_, s.v3_);
  const uint64_t first = s.v0_ ^ s.v1_ ^ s.v2_ ^ s.v3_;
  s.v1_ ^= 0xdd;
  for (int i = 0; i < s.d_rounds_; ++i) sip_round(s.v0_, s.v1_, s.v2_, s.v3_);
  return {first, s.v0_ ^ s.v1_ ^ s.v2_ ^ s.v3_};
}

namespace {

// The streaming hasher's steps for one contiguous write, with the state in
// registers and no partial block to carry: every block of the text, then the
// last one with the length.
inline void absorb(const unsigned char* data, size_t size, uint64_t& v0, uint64_t& v1, uint64_t& v2,
                   uint64_t& v3) {
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    const uint64_t block = load_le64(data + i);
    v3 ^= block;
    sip_round(v0, v1, v2, v3);
    v0 ^= block;
  }
  uint64_t last = static_cast<uint64_t>(size) << 56;
  for (int shift = 0; i < size; ++i, shift += 8) last |= uint64_t{data[i]} << shift;
  v3 ^= last;
  sip_round(v0, v1, v2, v3);
  v0 ^= last;
}

}  // namespace

uint64_t siphash13(const unsigned char* data, size_t size) {
  uint64_t v0 = 0x736f6d6570736575ULL, v1 = 0x646f72616e646f6dULL;
  uint64_t v2 = 0x6c7967656e657261ULL, v3 = 0x7465646279746573ULL;
  absorb(data, size, v0, v1, v2, v3);
  v2 ^= 0xff;
  for (int r = 0; r < 3; ++r) sip_round(v0, v1, v2, v3);
  return v0 ^ v1 ^ v2 ^ v3;
}

uint64_t siphash13(std::string_view text) {
  return siphash13(reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

std::pair<uint64_t, uint64_t> siphash13_128(std::string_view text) {
  uint64_t v0 = 0x736f6d6570736575ULL, v1 = 0x646f72616e646f6dULL ^ 0xee;
  uint64_t v2 = 0x6c7967656e657261ULL, v3 = 0x7465646279746573ULL;
  absorb(reinterpret_cast<const unsigned char*>(text.data()), text.size(), v0, v1, v2, v3);
  v2 ^= 0xee;
  for (int r = 0; r < 3; ++r) sip_round(v0, v1, v2, v3);
  const uint64_t first = v0 ^ v1 ^ v2 ^ v3;
  v1 ^= 0xdd;
  for (int r = 0; r < 3; ++r) sip_round(v0, v1, v2, v3);
  return {first, v0 ^ v1 ^ v2 ^ v3};
}

}  // namespace mirtova
