// SipHash-1-3 under an all-zero key: the stable hash of texts whose digests must
// not change from run to run (edge identities of the types graph, record-type names).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

namespace mirtova {

// A streaming SipHash state. Bytes may arrive in pieces of any size; the result
// is the same as for one contiguous write. The round counts are parameters so
// that the implementation can be checked against the published 2-4 vectors;
// everything in the compiler uses 1-3.
class SipHasher {
 public:
  // A hasher made `wide` gives the 128-bit result (finish128) instead of the
  // 64-bit one: the two start from different states.
  SipHasher(uint64_t k0, uint64_t k1, int compression_rounds, int finalization_rounds, bool wide = false);

  void write(const unsigned char* data, size_t size);
  void write(std::string_view text) {
    write(reinterpret_cast<const unsigned char*>(text.data()), text.size());
  }
  void write_byte(unsigned char byte) { write(&byte, 1); }

  // The 64-bit result of everything written so far; the state is not changed,
  // so more bytes may follow and finish() may be called again.
  uint64_t finish() const;
  // The 128-bit result of a wide hasher, as its first and second eight bytes.
  std::pair<uint64_t, uint64_t> finish128() const;

 private:
  void compress(uint64_t block);

  uint64_t v0_, v1_, v2_, v3_;
  int c_rounds_, d_rounds_;
  uint64_t tail_ = 0;  // pending bytes, little-endian, fewer than 8
  size_t tail_size_ = 0;
  uint64_t length_ = 0;  // total bytes written (only its low byte matters)
};

// SipHash-1-3 with k0 = k1 = 0.
class SipHasher13 : public SipHasher {
 public:
  SipHasher13() : SipHasher(0, 0, 1, 3) {}
};

// SipHash-1-3 (zero key) of a whole text; faster than a SipHasher13 fed the
// same bytes, with the same result.
uint64_t siphash13(std::string_view text);
uint64_t siphash13(const unsigned char* data, size_t size);

// The 128-bit SipHash-1-3 (zero key) of a whole text, in one pass: what a
// wide SipHasher fed the same bytes gives.
std::pair<uint64_t, uint64_t> siphash13_128(std::string_view text);

}  // namespace mirtova
