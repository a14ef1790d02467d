#include "installer/md5.h"

#include <stdint.h>

namespace {

// The sine table of RFC 1321, section 3.4: kSine[i] is the integer part of
// 2^32 * |sin(i + 1)|, written out so no floating-point library is involved.
constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee,
    0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be,
    0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa,
    0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed,
    0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c,
    0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05,
    0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039,
    0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1,
    0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

// Left-rotation amounts, four per round.
constexpr int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

uint32_t RotateLeft(uint32_t value, int bits) { return (value << bits) | (value >> (32 - bits)); }

// Runs the four rounds over one 64-byte block and adds the result into
// `state` (A, B, C, D).
void TransformBlock(uint32_t state[4], const unsigned char* block) {
  uint32_t words[16];
  for (int i = 0; i < 16; ++i) {
    words[i] = static_cast<uint32_t>(block[i * 4]) | static_cast<uint32_t>(block[i * 4 + 1]) << 8 |
               static_cast<uint32_t>(block[i * 4 + 2]) << 16 | static_cast<uint32_t>(block[i * 4 + 3]) << 24;
  }
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  for (int step = 0; step < 64; ++step) {
    const int round = step / 16;
    uint32_t mixed;
    int word;
    switch (round) {
      case 0:  // F(X,Y,Z) = XY v not(X) Z
        mixed = (b & c) | (~b & d);
        word = step;
        break;
      case 1:  // G(X,Y,Z) = XZ v Y not(Z)
        mixed = (b & d) | (c & ~d);
        word = (5 * step + 1) % 16;
        break;
      case 2:  // H(X,Y,Z) = X xor Y xor Z
        mixed = b ^ c ^ d;
        word = (3 * step + 5) % 16;
        break;
      default:  // I(X,Y,Z) = Y xor (X v not(Z))
        mixed = c ^ (b | ~d);
        word = (7 * step) % 16;
        break;
    }
    uint32_t rotated = RotateLeft(a + mixed + words[word] + kSine[step], kShift[round][step % 4]);
    a = d;
    d = c;
    c = b;
    b = b + rotated;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
}

}  // namespace

std::string Md5Hex(const std::string& bytes) {
  uint32_t state[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t length = bytes.size();

  size_t offset = 0;
  for (; offset + 64 <= length; offset += 64) TransformBlock(state, data + offset);

  // Padding: one 1 bit, zeros up to 56 bytes modulo 64, then the message
  // length in bits as a little-endian 64-bit number. That is one or two
  // final blocks.
  unsigned char tail[128] = {};
  const size_t rest = length - offset;
  for (size_t i = 0; i < rest; ++i) tail[i] = data[offset + i];
  tail[rest] = 0x80;
  const size_t tail_length = rest < 56 ? 64 : 128;
  const uint64_t bit_length = static_cast<uint64_t>(length) * 8;
  for (int i = 0; i < 8; ++i) tail[tail_length - 8 + i] = static_cast<unsigned char>(bit_length >> (8 * i));
  for (size_t block = 0; block < tail_length; block += 64) TransformBlock(state, tail + block);

  static const char kHexDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(32);
  for (uint32_t word : state) {
    for (int i = 0; i < 4; ++i) {
      const unsigned byte = (word >> (8 * i)) & 0xFF;
      hex.push_back(kHexDigits[byte >> 4]);
      hex.push_back(kHexDigits[byte & 0x0F]);
    }
  }
  return hex;
}
