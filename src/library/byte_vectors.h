#pragma once
// Sixteen bytes looked at in one step: compilers turn these into single vector instructions
// where the machine has them (SSE2 on x86-64, so both builds) and into plain byte operations
// elsewhere. The scans over a whole library use them, since looking at each byte alone took
// several times as long as reading the file.

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Sixteen bytes; a comparison gives 255 in each byte where it holds and 0 elsewhere.
using Bytes16 = unsigned char __attribute__((vector_size(16)));

// The 16 bytes from p, which must all be readable.
inline Bytes16 Load16(const char* p) {
  Bytes16 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// One bit for each of 16 bytes that are 0 or 255, bit j for byte j.
inline uint64_t BitsOf(Bytes16 flags) {
#if defined(__SSE2__)
  // One instruction; the portable sum below cost the LIST walk a tenth of its time.
  return static_cast<uint16_t>(_mm_movemask_epi8(reinterpret_cast<__m128i>(flags)));
#else
  // Each flag keeps its own bit; eight such bits add up without carries, and a multiplication
  // adds the eight bytes of a word into its top byte.
  const Bytes16 weights = {1, 2, 4, 8, 16, 32, 64, 128, 1, 2, 4, 8, 16, 32, 64, 128};
  uint64_t words[2];
  const Bytes16 bits = flags & weights;
  std::memcpy(words, &bits, sizeof words);
  const uint64_t sum = 0x0101010101010101;
  return (words[0] * sum) >> 56 | ((words[1] * sum) >> 56) << 8;
#endif
}
