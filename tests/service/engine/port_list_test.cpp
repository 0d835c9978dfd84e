#include "service/engine/port_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>

#include <variant>

namespace zl::engine {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A port number or the text of an inert item.
using Item = std::variant<int, std::string>;

std::vector<Item> Items(const PortList& list) {
  std::vector<Item> items;
  for (const PortEntry& entry : list) {
    if (entry.isPort) {
      items.emplace_back(int{entry.port});
    } else {
      items.emplace_back(entry.text);
    }
  }
  return items;
}

struct PortListCase {
  const char* value;
  std::vector<Item> items;
  friend void PrintTo(const PortListCase& c, std::ostream* os) { *os << '"' << c.value << '"'; }
};

class PortListTable : public ::testing::TestWithParam<PortListCase> {};

TEST_P(PortListTable, Items) {
  PortList list;
  ParsePortList(GetParam().value, list);
  EXPECT_EQ(Items(list), GetParam().items);
}

INSTANTIATE_TEST_SUITE_P(
    Values, PortListTable,
    ::testing::Values(
        PortListCase{"", {}}, PortListCase{"   ", {}}, PortListCase{"80", {80}}, PortListCase{"80;443", {80, 443}},
        PortListCase{"80; 443", {80, 443}}, PortListCase{"80 443", {80, 443}},
        PortListCase{"80\t443\r\n22", {80, 443, 22}}, PortListCase{"  80  ", {80}},
        PortListCase{"80 ; 443", {80, 443}}, PortListCase{";80", {"", 80}}, PortListCase{"80;", {80, ""}},
        PortListCase{"80;;443", {80, "", 443}}, PortListCase{"80; ;443", {80, "", 443}},
        PortListCase{";", {"", ""}}, PortListCase{"+80;0080;$50;x50;X50;0x50;0X50;$0050", {80, 80, 80, 80, 80, 80, 80, 80}},
        PortListCase{"$fF;0xAb", {255, 171}}, PortListCase{"65616", {80}}, PortListCase{"-1", {65535}},
        PortListCase{"65535;65536;-65536", {65535, 0, 0}}, PortListCase{"-$50", {65456}},
        PortListCase{"2147483647;-2147483648", {65535, 0}}, PortListCase{"2147483648", {"2147483648"}},
        PortListCase{"$FFFFFFFF", {65535}}, PortListCase{"$100000000", {"$100000000"}},
        PortListCase{"http;8a;$;x;0x;+;-;--80;8 0", {"http", "8a", "$", "x", "0x", "+", "-", "--80", 8, 0}},
        PortListCase{"$G1;0x1g;1.5", {"$G1", "0x1g", "1.5"}},
        PortListCase{"\"80\";\"443\"", {80, 443}}, PortListCase{"\" 80 \"", {80}},
        PortListCase{"\"8 0\"", {"8 0"}}, PortListCase{"\"80;443\"", {"80;443"}},
        PortListCase{"\"80", {80}}, PortListCase{"\"80\"443", {80, 443}}, PortListCase{"\"\"", {""}},
        PortListCase{"\"a\"\"b\"", {"a\"b"}}, PortListCase{"8\"0", {"8\"0"}}));

TEST(PortListTest, NulIsAnOrdinaryCharacterOfAnItem) {
  PortList list;
  ParsePortList(std::string_view("80\0;443", 7), list);
  // Trimming removes a trailing NUL, so the first item still reads as 80.
  EXPECT_EQ(Items(list), (std::vector<Item>{80, 443}));
  ParsePortList(std::string_view("8\0" "0", 3), list);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_FALSE(list[0].isPort);
}

TEST(PortListTest, ParsingReplacesTheTargetList) {
  PortList list;
  ParsePortList("1;2;3", list);
  ParsePortList("4", list);
  EXPECT_EQ(Items(list), std::vector<Item>{4});
  ParsePortList("", list);
  EXPECT_THAT(list, IsEmpty());
}

TEST(PortListTest, InertItemsMatchNoPort) {
  PortList list;
  ParsePortList("http;;\"\";80", list);
  EXPECT_TRUE(PortListContains(list, 80));
  for (std::uint16_t port : {0, 1, 8, 443, 65535}) EXPECT_FALSE(PortListContains(list, port)) << port;
}

}  // namespace
}  // namespace zl::engine
