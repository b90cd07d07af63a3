#include "language/messages.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <type_traits>

namespace kartoplot::language {
namespace {

constexpr std::string_view kEnglish = "English";

// Every Cyrillic letter of the tables is in U+0400..U+04FF: a UTF-8 lead byte of 0xD0..0xD3.
bool hasCyrillic(const std::string& text) {
    return text.find_first_of("\xD0\xD1\xD2\xD3") != std::string::npos;
}

template <class Id>
MessageTable<Id> loaded(std::string_view language) {
    MessageTable<Id> table;
    table.load(language);
    return table;
}

// The numbers of the entries whose text in language starts or ends with a blank.
template <class Id>
std::set<int> blanksOf(std::string_view language) {
    const auto table = loaded<Id>(language);
    std::set<int> found;
    for (int n = 1; n <= static_cast<int>(MessageTable<Id>::kSize); ++n) {
        const std::string& text = table.text(static_cast<Id>(n));
        if (!text.empty() && (text.front() == ' ' || text.back() == ' ')) {
            found.insert(n);
        }
    }
    return found;
}

TEST(LanguageRule, OnlyTheExactRussianValueSelectsRussian) {
    const struct {
        std::string_view language;
        bool russian;
    } cases[] = {{"Русский", true},  {"русский", false},  {"", false},
                 {"English", false}, {"Русский ", false}, {"РУССКИЙ", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.language));
        EXPECT_EQ(isRussian(c.language), c.russian);
        MainFormMessages table;
        LoadMainFormMessages(table, c.language);
        EXPECT_EQ(table.text(MainFormMessage::PlacementCenter), c.russian ? "Центр" : "Center");
    }
}

template <class Id>
class EveryEntry : public ::testing::Test {};
using TableIds = ::testing::Types<SharedMessage, MainFormMessage, ArchiveMessage, NoticeMessage,
                                  ChooserMessage, DesktopMessage>;
TYPED_TEST_SUITE(EveryEntry, TableIds);

TYPED_TEST(EveryEntry, IsEmptyUntilLoadedThenFollowsTheLastLanguage) {
    constexpr int kCount = static_cast<int>(MessageTable<TypeParam>::kSize);
    const MessageTable<TypeParam> empty;
    const auto russian = loaded<TypeParam>(kRussian);
    const auto english = loaded<TypeParam>(kEnglish);
    for (int n = 1; n <= kCount; ++n) {
        SCOPED_TRACE(n);
        const auto& ru = russian.text(static_cast<TypeParam>(n));
        const auto& en = english.text(static_cast<TypeParam>(n));
        EXPECT_EQ(empty.text(static_cast<TypeParam>(n)), "");
        EXPECT_FALSE(en.empty());
        EXPECT_FALSE(hasCyrillic(en));
        // Only the main table's "Unsupported Control Type" and "Symbol is nothing" are shared.
        if (std::is_same_v<TypeParam, MainFormMessage> && (n == 15 || n == 16)) {
            EXPECT_EQ(ru, en);
        } else {
            EXPECT_NE(ru, en);
            EXPECT_TRUE(hasCyrillic(ru));
        }
    }
    EXPECT_EQ(english.text(static_cast<TypeParam>(0)), "");
    EXPECT_EQ(english.text(static_cast<TypeParam>(kCount + 1)), "");
    auto table = english;
    table.load(kRussian);
    EXPECT_EQ(table, russian);
    table.load(kEnglish);
    EXPECT_EQ(table, english);
}

TEST(MessageTexts, OuterBlanksAreExactlyWhereCallersJoinTexts) {
    for (const auto language : {kRussian, kEnglish}) {
        SCOPED_TRACE(std::string(language));
        EXPECT_EQ(blanksOf<SharedMessage>(language), (std::set<int>{1, 5}));
        EXPECT_EQ(blanksOf<MainFormMessage>(language), (std::set<int>{1, 5, 6, 9, 12, 17, 36}));
        EXPECT_EQ(blanksOf<ArchiveMessage>(language), (std::set<int>{4, 5, 21, 22, 24, 25}));
        EXPECT_EQ(blanksOf<NoticeMessage>(language), std::set<int>{});
        EXPECT_EQ(blanksOf<ChooserMessage>(language), std::set<int>{20});
        EXPECT_EQ(blanksOf<DesktopMessage>(language), (std::set<int>{19, 20, 21, 23, 24, 25, 36, 37, 38, 40}));
    }
}

// The texts themselves are the tables' business; one joined text per language shows that
// the pieces meet with single blanks.
TEST(NamedLists, JoinedPiecesReadPlacementIndexesAndChooserStyleListsNameDistinctEntries) {
    using C = ChooserMessage;
    const std::pair<C, C> lists[] = {{C::FillSolid, C::FillDiagonalCross},
                                     {C::LineSolid, C::LineInsideFrame},
                                     {C::CapFlat, C::CapSquare},
                                     {C::JoinMitre, C::JoinBevel},
                                     {C::MarkerCircle, C::MarkerDiamond}};
    for (const auto language : {kRussian, kEnglish}) {
        SCOPED_TRACE(std::string(language));
        const bool ru = isRussian(language);
        const auto main = loaded<MainFormMessage>(language);
        using M = MainFormMessage;
        EXPECT_EQ(main.text(M::FileNotExistStart) + "/a.leg" + main.text(M::FileNotExistEnd),
                  ru ? "Файла /a.leg не существует!" : "File /a.leg not exist!");
        EXPECT_EQ(PlacementName(main, 0), ru ? "Центр" : "Center");
        EXPECT_EQ(PlacementName(main, 13), ru ? "ЮВ" : "SE");
        EXPECT_EQ(PlacementName(main, -1) + PlacementName(main, 14), "");
        EXPECT_EQ(PlacementName(MainFormMessages{}, 0), "");
        std::set<std::string> placements;
        for (int i = 0; i < kPlacementCount; ++i) {
            placements.insert(PlacementName(main, i));
        }
        EXPECT_EQ(placements.size(), static_cast<std::size_t>(kPlacementCount));
        const auto chooser = loaded<C>(language);
        for (const auto& [first, last] : lists) {
            std::set<std::string> names;
            for (int n = static_cast<int>(first); n <= static_cast<int>(last); ++n) {
                names.insert(chooser.text(static_cast<C>(n)));
            }
            EXPECT_EQ(static_cast<int>(names.size()),
                      static_cast<int>(last) - static_cast<int>(first) + 1)
                << static_cast<int>(first);
        }
    }
}

}  // namespace
}  // namespace kartoplot::language
