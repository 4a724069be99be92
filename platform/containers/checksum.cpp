#include "platform/containers/checksum.h"

#include <array>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define WAYFIND_CRC_CLMUL 1
#if __has_include(<sys/platform/x86.h>)
// The C library's header spells its two tests' results _Bool, which GCC takes
// in C++ and clang does not.
#if defined(__clang__)
#define _Bool bool
#include <sys/platform/x86.h>
#undef _Bool
#else
#include <sys/platform/x86.h>
#endif
#endif
#endif

namespace wayfind::platform {
namespace {

constexpr uint32_t kPolynomial = 0xEDB88320u;  // reflected 0x04C11DB7

// table[0] is the classic byte table; table[k][b] is the CRC of byte b followed by
// k zero bytes, which lets eight input bytes be folded in with eight lookups.
using Tables = std::array<std::array<uint32_t, 256>, 8>;

constexpr Tables makeTables() {
  Tables t{};
  for (uint32_t b = 0; b < 256; ++b) {
    uint32_t c = b;
    for (int i = 0; i < 8; ++i) c = (c & 1) ? (c >> 1) ^ kPolynomial : c >> 1;
    t[0][b] = c;
  }
  for (uint32_t b = 0; b < 256; ++b)
    for (int k = 1; k < 8; ++k) t[k][b] = (t[k - 1][b] >> 8) ^ t[0][t[k - 1][b] & 0xFF];
  return t;
}

constexpr Tables kTables = makeTables();

uint32_t loadLittleEndian32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The table-driven CRC of n bytes at p, on the register value (not inverted).
uint32_t crcTables(const unsigned char* p, size_t n, uint32_t c) {
  while (n >= 8) {
    uint32_t lo = loadLittleEndian32(p) ^ c;
    uint32_t hi = loadLittleEndian32(p + 4);
    c = kTables[7][lo & 0xFF] ^ kTables[6][(lo >> 8) & 0xFF] ^ kTables[5][(lo >> 16) & 0xFF] ^
        kTables[4][lo >> 24] ^ kTables[3][hi & 0xFF] ^ kTables[2][(hi >> 8) & 0xFF] ^
        kTables[1][(hi >> 16) & 0xFF] ^ kTables[0][hi >> 24];
    p += 8;
    n -= 8;
  }
  while (n--) c = (c >> 8) ^ kTables[0][(c ^ *p++) & 0xFF];
  return c;
}

#ifdef WAYFIND_CRC_CLMUL
// Carry-less multiplication folds four 16-byte lanes at a time over the data,
// then reduces them to the 32-bit remainder (Barrett reduction). The constants
// are powers of x modulo the bit-reflected IEEE polynomial. n is at least 64 and
// a multiple of 16; the result is the register value, as crcTables gives it.
__attribute__((target("pclmul,sse4.1"))) uint32_t crcFolded(const unsigned char* p, size_t n, uint32_t c) {
  alignas(16) static const uint64_t k1k2[] = {0x0154442bd4, 0x01c6e41596};
  alignas(16) static const uint64_t k3k4[] = {0x01751997d0, 0x00ccaa009e};
  alignas(16) static const uint64_t k5k0[] = {0x0163cd6124, 0x0000000000};
  alignas(16) static const uint64_t poly[] = {0x01db710641, 0x01f7011641};

  auto load = [](const unsigned char* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); };
  __m128i x1 = load(p), x2 = load(p + 16), x3 = load(p + 32), x4 = load(p + 48);
  x1 = _mm_xor_si128(x1, _mm_cvtsi32_si128(static_cast<int>(c)));
  __m128i x0 = _mm_load_si128(reinterpret_cast<const __m128i*>(k1k2));
  p += 64;
  n -= 64;
  while (n >= 64) {
    __m128i x5 = _mm_clmulepi64_si128(x1, x0, 0x00), x6 = _mm_clmulepi64_si128(x2, x0, 0x00);
    __m128i x7 = _mm_clmulepi64_si128(x3, x0, 0x00), x8 = _mm_clmulepi64_si128(x4, x0, 0x00);
    x1 = _mm_clmulepi64_si128(x1, x0, 0x11);
    x2 = _mm_clmulepi64_si128(x2, x0, 0x11);
    x3 = _mm_clmulepi64_si128(x3, x0, 0x11);
    x4 = _mm_clmulepi64_si128(x4, x0, 0x11);
    x1 = _mm_xor_si128(_mm_xor_si128(x1, x5), load(p));
    x2 = _mm_xor_si128(_mm_xor_si128(x2, x6), load(p + 16));
    x3 = _mm_xor_si128(_mm_xor_si128(x3, x7), load(p + 32));
    x4 = _mm_xor_si128(_mm_xor_si128(x4, x8), load(p + 48));
    p += 64;
    n -= 64;
  }
  // Four lanes into one.
  x0 = _mm_load_si128(reinterpret_cast<const __m128i*>(k3k4));
  for (__m128i next : {x2, x3, x4}) {
    __m128i x5 = _mm_clmulepi64_si128(x1, x0, 0x00);
    x1 = _mm_clmulepi64_si128(x1, x0, 0x11);
    x1 = _mm_xor_si128(_mm_xor_si128(x1, next), x5);
  }
  while (n >= 16) {
    __m128i x5 = _mm_clmulepi64_si128(x1, x0, 0x00);
    x1 = _mm_clmulepi64_si128(x1, x0, 0x11);
    x1 = _mm_xor_si128(_mm_xor_si128(x1, load(p)), x5);
    p += 16;
    n -= 16;
  }
  // 128 bits to 64, then Barrett reduction to 32.
  __m128i x2r = _mm_clmulepi64_si128(x1, x0, 0x10);
  const __m128i mask = _mm_setr_epi32(~0, 0, ~0, 0);
  x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2r);
  x0 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(k5k0));
  x2r = _mm_srli_si128(x1, 4);
  x1 = _mm_and_si128(x1, mask);
  x1 = _mm_clmulepi64_si128(x1, x0, 0x00);
  x1 = _mm_xor_si128(x1, x2r);
  x0 = _mm_load_si128(reinterpret_cast<const __m128i*>(poly));
  x2r = _mm_and_si128(x1, mask);
  x2r = _mm_clmulepi64_si128(x2r, x0, 0x10);
  x2r = _mm_and_si128(x2r, mask);
  x2r = _mm_clmulepi64_si128(x2r, x0, 0x00);
  x1 = _mm_xor_si128(x1, x2r);
  return static_cast<uint32_t>(_mm_extract_epi32(x1, 1));
}

// The C library has asked the processor what it can do before the program
// started; asking again (__builtin_cpu_supports) would link the compiler's own
// processor probe, which runs at every start whether a checksum is ever made,
// and each of its questions leaves a virtual machine for the hypervisor.
bool hasClmul() {
#ifdef CPU_FEATURE_ACTIVE
  static const bool has = CPU_FEATURE_ACTIVE(PCLMULQDQ) && CPU_FEATURE_ACTIVE(SSE4_1);
#else
  static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
#endif
  return has;
}
#endif

}  // namespace

uint32_t crc32(std::string_view data, uint32_t crc) {
  auto p = reinterpret_cast<const unsigned char*>(data.data());
  size_t n = data.size();
  uint32_t c = ~crc;
#ifdef WAYFIND_CRC_CLMUL
  if (n >= 64 && hasClmul()) {
    const size_t folded = n & ~size_t{15};
    c = crcFolded(p, folded, c);
    p += folded;
    n -= folded;
  }
#endif
  return ~crcTables(p, n, c);
}

uint32_t crc32Portable(std::string_view data, uint32_t crc) {
  return ~crcTables(reinterpret_cast<const unsigned char*>(data.data()), data.size(), ~crc);
}

}  // namespace wayfind::platform
