#include "resources/compiled_catalog.h"

#include <gtest/gtest.h>

#include <set>

#include "support/text.h"

namespace korvana {
namespace {

TEST(MessageCatalog, HoldsEveryIdFrom101To153ButFourInAscendingOrder) {
  std::size_t count = 0;
  const CatalogEntry* entries = CatalogEntries(&count);
  const std::set<std::uint16_t> missing{140, 141, 146, 149};
  std::uint16_t expected = 101;
  for (std::size_t i = 0; i < count; ++i) {
    while (missing.count(expected)) ++expected;
    EXPECT_EQ(entries[i].id, expected);
    EXPECT_NE(entries[i].text[0], L'\0') << entries[i].id;
    ++expected;
  }
  EXPECT_EQ(expected, 154);
  CompiledCatalog catalog;
  for (std::uint16_t id : missing) EXPECT_EQ(catalog.LoadText(id), L"");
}

TEST(MessageCatalog, TextsKeepLineFeedsDashesAndPlaceholders) {
  CompiledCatalog catalog;
  EXPECT_EQ(catalog.LoadText(111), L"Не удалось произвести перезагрузку.\nПерезагрузите компьютер вручную.");
  EXPECT_EQ(catalog.LoadText(115), L"Загрузка \u2013 Яндекс Браузер");
  EXPECT_EQ(catalog.LoadText(120), catalog.LoadText(121));
  EXPECT_EQ(FormatText(catalog.LoadText(153), {L"Korvana", L"2.0.12", L"2.0.13"}),
            L"Будет произведено обновление Korvana 2.0.12 до версии 2.0.13. Обновить?");
}

TEST(FormatText, FillsPlaceholdersInOrderAndLeavesTheRest) {
  struct Case {
    std::wstring format;
    std::wstring expected;
  };
  const Case cases[] = {
      {L"%s-%s-%s", L"a-b-c"},
      {L"%s %s %s %s", L"a b c %s"},  // more placeholders than texts
      {L"100%% %d %s", L"100% %d a"},
      {L"%", L"%"},
      {L"", L""},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatText(c.format, {L"a", L"b", L"c"}), c.expected);
  // A text that itself holds "%s" is not filled again.
  EXPECT_EQ(FormatText(L"%s|%s", {L"%s", L"x"}), L"%s|x");
}

TEST(ToDecimal, IsUnsigned) {
  EXPECT_EQ(ToDecimal(0), L"0");
  EXPECT_EQ(ToDecimal(1603), L"1603");
  EXPECT_EQ(ToDecimal(0xFFFFFFFFu), L"4294967295");
}

}  // namespace
}  // namespace korvana
