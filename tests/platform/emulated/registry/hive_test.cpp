#include "platform/emulated/hive.h"

#include <gtest/gtest.h>

#include "zl/platform/registry.h"

namespace zl::platform::emulated {
namespace {

TEST(HiveTest, FindsKeysAndValuesWhateverTheirLetterCase) {
  Hive hive;
  HiveKey& key = hive.Root().FindOrCreate("SOFTWARE\\Quendral\\Zephlink");
  key.SetString("HotspotName", "Caf\xE9");
  ASSERT_EQ(hive.Root().Find("software\\QUENDRAL\\zephlink"), &key);
  EXPECT_EQ(key.String("HOTSPOTNAME"), "Caf\xE9");
  // Latin-1 letters of the code page fold too.
  hive.Root().FindOrCreate("Stra\xDF" "e\\\xC4rger");
  EXPECT_NE(hive.Root().Find("STRA\xDF" "E\\\xE4RGER"), nullptr);
  // The name keeps the case it was created with.
  EXPECT_EQ(hive.Root().Find("software")->Name(), "SOFTWARE");
  EXPECT_EQ(key.Values().front()->name, "HotspotName");
}

TEST(HiveTest, DoubledAndOuterSeparatorsNameTheSameKey) {
  Hive hive;
  HiveKey& key = hive.Root().FindOrCreate("A\\B");
  EXPECT_EQ(hive.Root().Find("\\A\\\\B\\"), &key);
}

TEST(HiveTest, TextFormKeepsEveryNameTypeAndByte) {
  Hive hive;
  HiveKey& key = hive.Root().FindOrCreate("Key with blanks\\100% sure\\\xE4");
  key.SetValue("", kRegSz, std::string("default\0", 8));
  key.SetValue("name with = and %", kRegBinary, std::string("\0\x01\xFF\n\r ", 6));
  key.SetValue("empty", kRegBinary, "");
  key.SetDword("Dword", 0xDEADBEEF);
  key.SetMultiString("Multi", {"one", "two words"});
  hive.Root().FindOrCreate("Empty key");

  Hive copy;
  ASSERT_TRUE(copy.Parse(hive.Serialize()));
  const HiveKey* read = copy.Root().Find("key with blanks\\100% SURE\\\xC4");
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->Value("")->data, std::string("default\0", 8));
  EXPECT_EQ(read->Value("name with = and %")->data, std::string("\0\x01\xFF\n\r ", 6));
  EXPECT_EQ(read->Value("empty")->type, kRegBinary);
  EXPECT_EQ(read->Value("empty")->data, "");
  EXPECT_EQ(read->Dword("Dword"), 0xDEADBEEFu);
  EXPECT_EQ(read->MultiString("Multi"), (std::vector<std::string>{"one", "two words"}));
  EXPECT_NE(copy.Root().Find("Empty key"), nullptr);
  EXPECT_EQ(copy.Serialize(), hive.Serialize());
}

TEST(HiveTest, RejectsTextThatIsNotAHive) {
  Hive hive;
  EXPECT_FALSE(hive.Parse(""));
  EXPECT_FALSE(hive.Parse("ZLHIVE 1\nK =A\nV =x 1 ABC\n"));  // odd hex digits
  EXPECT_FALSE(hive.Parse("ZLHIVE 1\nQ something\n"));
  EXPECT_EQ(hive.Root().SubKeyNames().size(), 0u);
}

// A key path of `depth` names, "a\a\...".
std::string DeepPath(std::size_t depth) {
  std::string path;
  for (std::size_t i = 0; i < depth; ++i) path += i == 0 ? "a" : "\\a";
  return path;
}

TEST(HiveTest, ReadsKeysAsDeepAsTheRegistryAllows) {
  Hive hive;
  ASSERT_TRUE(hive.Parse("ZLHIVE 1\nK =" + DeepPath(kMaxKeyDepth) + "\nV =v 4 01000000\n"));
  EXPECT_EQ(hive.Root().Find(DeepPath(kMaxKeyDepth))->Dword("v"), 1u);
  Hive copy;
  ASSERT_TRUE(copy.Parse(hive.Serialize()));
  EXPECT_EQ(copy.Serialize(), hive.Serialize());
}

TEST(HiveTest, RefusesAKeyDeeperThanTheRegistryAllows) {
  Hive hive;
  EXPECT_FALSE(hive.Parse("ZLHIVE 1\nK =" + DeepPath(kMaxKeyDepth + 1) + "\n"));
  EXPECT_EQ(hive.Root().SubKeyNames().size(), 0u);
  // A corrupted file this deep used to overflow the stack of the first
  // process that wrote the hive back.
  EXPECT_FALSE(hive.Parse("ZLHIVE 1\nK =" + DeepPath(300000) + "\n"));
  EXPECT_EQ(hive.Root().SubKeyNames().size(), 0u);
}

TEST(HiveTest, TypedReadersFallBackOnOtherTypes) {
  Hive hive;
  HiveKey& key = hive.Root().FindOrCreate("K");
  key.SetString("Text", "5");
  key.SetDword("Number", 5);
  EXPECT_EQ(key.Dword("Text", 7), 7u);
  EXPECT_EQ(key.String("Number", "none"), "none");
  EXPECT_TRUE(key.MultiString("Text").empty());
}

}  // namespace
}  // namespace zl::platform::emulated
