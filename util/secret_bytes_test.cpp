// SecretBytes: deep copies, wiping on clear and reassignment, and no way to print the bytes.

#include "util/secret_bytes.h"

#include <string>

#include <gtest/gtest.h>

namespace zelsnmp {
namespace {

constexpr std::string_view kKey = "\x9f\xaf\x32\x83key material";

TEST(SecretBytes, CopiesAndMovesOwnTheirBytes) {
  SecretBytes original(kKey);
  SecretBytes copy = original;
  EXPECT_EQ(copy.view(), kKey);
  EXPECT_NE(copy.data(), original.data());
  original.Clear();
  EXPECT_TRUE(original.empty());
  EXPECT_EQ(copy.view(), kKey);

  SecretBytes moved = std::move(copy);
  EXPECT_EQ(moved.view(), kKey);
  EXPECT_TRUE(copy.empty());  // NOLINT(bugprone-use-after-move): moved-from is empty

  moved.Append("++");
  EXPECT_EQ(moved.view(), std::string(kKey) + "++");
  EXPECT_EQ(moved.Prefix(4).view(), kKey.substr(0, 4));
  EXPECT_TRUE(SecretBytes(kKey) == SecretBytes(kKey));
  EXPECT_FALSE(SecretBytes(kKey) == SecretBytes(kKey.substr(1)));
  EXPECT_FALSE(SecretBytes("abcd") == SecretBytes("abce"));
}

TEST(SecretBytes, WipeOverwritesTheBuffer) {
  std::string buffer(kKey);
  WipeBytes(buffer.data(), buffer.size());
  EXPECT_EQ(buffer, std::string(kKey.size(), '\0'));
}

// What a failing check prints of a key: its length only.
TEST(SecretBytes, FailureTextShowsNoSecret) {
  const std::string printed = ::testing::PrintToString(SecretBytes(kKey));
  EXPECT_EQ(printed, "<secret of 16 bytes>");
  EXPECT_EQ(printed.find("key material"), std::string::npos);
}

}  // namespace
}  // namespace zelsnmp
