#include <gtest/gtest.h>

#include "../support/ErrorOf.h"

#include <string>

#include "base/uException.h"
#include "xml/uStringDictionary.h"

TEST(StringDictionary, KeysMatchWithoutRegardToCase) {
  TXMLArena arena;
  TStringDictionary dictionary(arena);
  EXPECT_FALSE(dictionary.Contains("x"));
  dictionary.Put("Name", "first");
  dictionary.Put("NAME", "second");
  EXPECT_EQ(dictionary.Count(), 1);
  EXPECT_TRUE(dictionary.Contains("name"));
  EXPECT_EQ(dictionary.Get("nAmE"), "second");
  EXPECT_EQ(ErrorOf([&] { dictionary.Get("other"); }), "Key \"other\" not found.");
}

TEST(StringDictionary, LookupsStayRightAcrossTheSwitchToHashing) {
  TXMLArena arena;
  TStringDictionary dictionary(arena);
  for (int count = 1; count <= 200; ++count) {
    dictionary.Put("Key" + std::to_string(count), "v" + std::to_string(count));
    ASSERT_EQ(dictionary.Count(), count);
    for (int k = 1; k <= count; ++k) {
      ASSERT_EQ(dictionary.Get("KEY" + std::to_string(k)), "v" + std::to_string(k));
      std::string_view found;
      ASSERT_TRUE(dictionary.Find("kEy" + std::to_string(k), found));
      ASSERT_EQ(found, "v" + std::to_string(k));
    }
    ASSERT_FALSE(dictionary.Contains("key0"));
    std::string_view untouched = "before";
    ASSERT_FALSE(dictionary.Find("key0", untouched));
    ASSERT_EQ(untouched, "before");
  }
  dictionary.Put("key7", "changed");
  EXPECT_EQ(dictionary.Count(), 200);
  EXPECT_EQ(dictionary.Get("Key7"), "changed");
}

TEST(StringDictionary, AssignKeepsFirstPlaceAndLastValueOfARepeatedKey) {
  TXMLArena arena;
  for (int count : {3, 30}) {
    TStringDictionary dictionary(arena);
    std::vector<TStringDictionary::TEntry> entries;
    for (int i = 0; i < count; ++i) {
      const std::string_view value = arena.StoreText("v" + std::to_string(i));
      entries.push_back({value.data(), static_cast<uint32_t>(value.size()), arena.InternName("k" + std::to_string(i))});
    }
    entries.push_back({"again", 5, arena.InternName("K1")});
    dictionary.Assign(entries.data(), static_cast<uint32_t>(entries.size()));
    EXPECT_EQ(dictionary.Count(), count);
    EXPECT_EQ(dictionary.Get("k1"), "again");
    EXPECT_EQ(dictionary.Get("k" + std::to_string(count - 1)), "v" + std::to_string(count - 1));
  }
}

TEST(StringDictionary, EntriesAreListedInInsertionOrderWithLowerCasedKeys) {
  TXMLArena arena;
  TStringDictionary dictionary(arena);
  dictionary.Put("Beta", "1");
  dictionary.Put("alpha", "2");
  dictionary.Put("BETA", "3");
  ASSERT_EQ(dictionary.Count(), 2);
  EXPECT_EQ(dictionary.KeyAt(0), "beta");
  EXPECT_EQ(dictionary.ValueAt(0), "3");
  EXPECT_EQ(dictionary.KeyAt(1), "alpha");
  EXPECT_EQ(dictionary.ValueAt(1), "2");
  EXPECT_EQ(ErrorOf([&] { dictionary.KeyAt(2); }), "List index out of bounds (2)");
  EXPECT_EQ(ErrorOf([&] { dictionary.ValueAt(-1); }), "List index out of bounds (-1)");
}
