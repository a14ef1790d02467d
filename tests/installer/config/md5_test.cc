#include "installer/md5.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Md5Test, MatchesTheRfc1321TestSuite) {
  static const struct {
    const char* message;
    const char* digest;
  } kCases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.message);
    EXPECT_EQ(Md5Hex(c.message), c.digest);
  }
}

TEST(Md5Test, HandlesEveryPaddingBoundary) {
  // Lengths around the 56-byte limit of the last block and the 64-byte block
  // size decide whether the padding takes one block or two.
  static const struct {
    size_t length;
    const char* digest;
  } kCases[] = {
      {55, "ef1772b6dff9a122358552954ad0df65"},  {56, "3b0c8ac703f828b04c6c197006d17218"},
      {57, "652b906d60af96844ebd21b674f35e93"},  {63, "b06521f39153d618550606be297466d5"},
      {64, "014842d480b571495a4a0363793f7367"},  {65, "c743a45e0d2e6a95cb859adae0248435"},
      {119, "8a7bd0732ed6a28ce75f6dabc90e1613"}, {120, "5f61c0ccad4cac44c75ff505e1f1e537"},
      {127, "020406e1d05cdc2aa287641f7ae2cc39"}, {128, "e510683b3f5ffe4093d021808bc6ff70"},
      {1000000, "7707d6ae4e027c70eea2a935c2296f21"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.length);
    EXPECT_EQ(Md5Hex(std::string(c.length, 'a')), c.digest);
  }
}

TEST(Md5Test, DigestsEveryByteValueIncludingZero) {
  std::string all_bytes;
  for (int i = 0; i < 256; ++i) all_bytes.push_back(static_cast<char>(i));
  EXPECT_EQ(Md5Hex(all_bytes), "e2c865db4162bed963bfaa9ef6ac18f0");
}

}  // namespace
