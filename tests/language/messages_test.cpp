#include "language/messages.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace kartoplot::language {
namespace {

constexpr std::string_view kEnglish = "English";

// Every Cyrillic letter of the tables is in U+0400..U+04FF: a UTF-8 lead byte of 0xD0..0xD3.
bool hasCyrillic(const std::string& text) {
    return text.find_first_of("\xD0\xD1\xD2\xD3") != std::string::npos;
}

bool hasOuterBlank(const std::string& text) {
    return !text.empty() && (text.front() == ' ' || text.back() == ' ');
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

// Per table: the entries whose two texts are equal, and those with a blank at either end.
template <class Id>
struct Known;
template <>
struct Known<SharedMessage> {
    inline static const std::set<int> same{}, blanks{1, 5};
};
template <>
struct Known<MainFormMessage> {
    inline static const std::set<int> same{15, 16}, blanks{1, 5, 6, 9, 12, 17, 36};
};
template <>
struct Known<ArchiveMessage> {
    inline static const std::set<int> same{}, blanks{4, 5, 21, 22, 24, 25};
};
template <>
struct Known<NoticeMessage> {
    inline static const std::set<int> same{}, blanks{};
};
template <>
struct Known<ChooserMessage> {
    inline static const std::set<int> same{}, blanks{20};
};
template <>
struct Known<DesktopMessage> {
    inline static const std::set<int> same{}, blanks{19, 20, 21};
};

template <class Id>
class EveryEntry : public ::testing::Test {
protected:
    using Table = MessageTable<Id>;
    static constexpr int kCount = static_cast<int>(Table::kSize);

    static Table loaded(std::string_view language) {
        Table table;
        table.load(language);
        return table;
    }
};

using TableIds = ::testing::Types<SharedMessage, MainFormMessage, ArchiveMessage, NoticeMessage,
                                  ChooserMessage, DesktopMessage>;
TYPED_TEST_SUITE(EveryEntry, TableIds);

TYPED_TEST(EveryEntry, IsEmptyUntilTheFirstFillAndOutsideTheTable) {
    const typename TestFixture::Table empty;
    for (int n = 1; n <= TestFixture::kCount; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(empty.text(static_cast<TypeParam>(n)), "");
    }
    const auto filled = TestFixture::loaded(kEnglish);
    EXPECT_EQ(filled.text(static_cast<TypeParam>(0)), "");
    EXPECT_EQ(filled.text(static_cast<TypeParam>(TestFixture::kCount + 1)), "");
}

TYPED_TEST(EveryEntry, HasTextInTheRightLanguage) {
    const auto russian = TestFixture::loaded(kRussian);
    const auto english = TestFixture::loaded(kEnglish);
    const auto& same = Known<TypeParam>::same;
    for (int n = 1; n <= TestFixture::kCount; ++n) {
        SCOPED_TRACE(n);
        const auto& ru = russian.text(static_cast<TypeParam>(n));
        const auto& en = english.text(static_cast<TypeParam>(n));
        EXPECT_FALSE(ru.empty());
        EXPECT_FALSE(en.empty());
        EXPECT_FALSE(hasCyrillic(en));
        if (same.count(n) != 0) {
            EXPECT_EQ(ru, en);
        } else {
            EXPECT_NE(ru, en);
            EXPECT_TRUE(hasCyrillic(ru));
        }
    }
}

TYPED_TEST(EveryEntry, KeepsOuterBlanksExactlyWhereCallersJoinTexts) {
    for (const auto language : {kRussian, kEnglish}) {
        SCOPED_TRACE(std::string(language));
        const auto table = TestFixture::loaded(language);
        std::set<int> blanks;
        for (int n = 1; n <= TestFixture::kCount; ++n) {
            if (hasOuterBlank(table.text(static_cast<TypeParam>(n)))) {
                blanks.insert(n);
            }
        }
        EXPECT_EQ(blanks, Known<TypeParam>::blanks);
    }
}

TYPED_TEST(EveryEntry, FollowsTheLastLanguageAfterTwoSwitches) {
    const auto russian = TestFixture::loaded(kRussian);
    const auto english = TestFixture::loaded(kEnglish);
    typename TestFixture::Table table;
    table.load(kEnglish);
    table.load(kRussian);
    EXPECT_EQ(table, russian);
    table.load(kEnglish);
    EXPECT_EQ(table, english);
}

TEST(MessageTexts, BlankedPiecesJoinWithOneBlankAroundTheInsert) {
    const std::string path = "/data/a.leg";
    MainFormMessages main;
    ArchiveMessages archive;
    const struct {
        std::string_view language;
        std::string legendMissing;
        std::string overwrite;
        std::string archiveMissing;
    } cases[] = {
        {kEnglish, "File /data/a.leg not exist!", "File /data/a.leg exist, replace?",
         "File /data/a.leg not exist"},
        {kRussian, "Файла /data/a.leg не существует!", "Файл /data/a.leg существует, Переписать?",
         "Файл /data/a.leg не существует"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.language));
        LoadMainFormMessages(main, c.language);
        LoadOpenSaveMessages(archive, c.language);
        EXPECT_EQ(main.text(MainFormMessage::FileNotExistStart) + path +
                      main.text(MainFormMessage::FileNotExistEnd),
                  c.legendMissing);
        EXPECT_EQ(archive.text(ArchiveMessage::FileStart) + path +
                      archive.text(ArchiveMessage::FileExistsReplace),
                  c.overwrite);
        EXPECT_EQ(archive.text(ArchiveMessage::FileStart) + path + " " +
                      archive.text(ArchiveMessage::NotExist),
                  c.archiveMissing);
    }
}

TEST(MessageTexts, SelectedEntriesReadExactly) {
    SharedMessages shared;
    MainFormMessages main;
    ArchiveMessages archive;
    for (const auto language : {kRussian, kEnglish}) {
        const bool ru = isRussian(language);
        SCOPED_TRACE(std::string(language));
        LoadModuleMessages(shared, language);
        LoadMainFormMessages(main, language);
        LoadOpenSaveMessages(archive, language);
        EXPECT_EQ(shared.text(SharedMessage::AnnotationLayerNotCreated),
                  ru ? "Не создан графический слой " : "Annotation layer not created ");
        EXPECT_EQ(shared.text(SharedMessage::NotChartLayerFile),
                  ru ? "Это не файл слоя диаграмм" : "This is not a file of chart layer");
        EXPECT_EQ(main.text(MainFormMessage::InfoTitle), ru ? "инфо# " : "info# ");
        EXPECT_EQ(main.text(MainFormMessage::OpenLegendFilter),
                  ru ? "Легенда (*.leg)|*.leg| Слой (*.lyr)|*.lyr"
                     : "Legend (*.leg)|*.leg| Layer (*.lyr)|*.lyr");
        EXPECT_EQ(main.text(MainFormMessage::PlacementCaption),
                  ru ? "положение относительно маркера - " : "Placement near marker - ");
        EXPECT_EQ(main.text(MainFormMessage::UnsupportedControlType), "Unsupported Control Type");
        EXPECT_EQ(main.text(MainFormMessage::SymbolIsNothing), "Symbol is nothing");
        EXPECT_EQ(archive.text(ArchiveMessage::GraphicsFileFilter),
                  ru ? "Сохраненные слои *.obj|*.obj" : "Saved annotation *.obj|*.obj");
        EXPECT_EQ(archive.text(ArchiveMessage::InFileStart), ru ? "В файле " : "File ");
        EXPECT_EQ(archive.text(ArchiveMessage::NoRequiredData),
                  ru ? " нет данных нужного формата!" : " have no required parameters!");
    }
}

TEST(PlacementNames, IndexesZeroToThirteenNameFourteenDistinctEntries) {
    const struct {
        int index;
        std::string russian;
        std::string english;
    } cases[] = {{-1, "", ""},
                 {0, "Центр", "Center"},
                 {5, "Старое место", "Old placement"},
                 {9, "ЮЗ круг", "SW cirkle"},
                 {13, "ЮВ", "SE"},
                 {14, "", ""}};
    MainFormMessages russian;
    MainFormMessages english;
    LoadMainFormMessages(russian, kRussian);
    LoadMainFormMessages(english, kEnglish);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        EXPECT_EQ(PlacementName(russian, c.index), c.russian);
        EXPECT_EQ(PlacementName(english, c.index), c.english);
        EXPECT_EQ(PlacementName(MainFormMessages{}, c.index), "");
    }
    for (const auto* table : {&russian, &english}) {
        std::set<std::string> names;
        for (int i = 0; i < kPlacementCount; ++i) {
            names.insert(PlacementName(*table, i));
        }
        EXPECT_EQ(names.size(), static_cast<std::size_t>(kPlacementCount));
    }
}

TEST(ChooserTexts, EachStyleListNamesItsStylesApart) {
    const struct {
        ChooserMessage first;
        ChooserMessage last;
    } lists[] = {
        {ChooserMessage::FillSolid, ChooserMessage::FillDiagonalCross},
        {ChooserMessage::LineSolid, ChooserMessage::LineInsideFrame},
        {ChooserMessage::CapFlat, ChooserMessage::CapSquare},
        {ChooserMessage::JoinMitre, ChooserMessage::JoinBevel},
        {ChooserMessage::MarkerCircle, ChooserMessage::MarkerDiamond},
    };
    for (const auto language : {kRussian, kEnglish}) {
        SCOPED_TRACE(std::string(language));
        ChooserMessages table;
        table.load(language);
        for (const auto& list : lists) {
            const int first = static_cast<int>(list.first);
            const int last = static_cast<int>(list.last);
            SCOPED_TRACE(first);
            std::set<std::string> names;
            for (int n = first; n <= last; ++n) {
                names.insert(table.text(static_cast<ChooserMessage>(n)));
            }
            EXPECT_EQ(names.size(), static_cast<std::size_t>(last - first + 1));
        }
    }
}

}  // namespace
}  // namespace kartoplot::language
