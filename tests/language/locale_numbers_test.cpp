#include "language/locale_numbers.h"

#include "errors/error_handling.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <tuple>

namespace kartoplot::language {
namespace {

constexpr char kRuLocale[] = "ru_RU.UTF-8";
constexpr char kEnLocale[] = "en_US.UTF-8";
constexpr char kAr[] = "٫";  // the Arabic decimal separator
constexpr double kInf = std::numeric_limits<double>::infinity();

// Sets an environment variable for one scope and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        ::setenv(name, value, 1);
    }
    ~ScopedEnv() { old_ ? ::setenv(name_.c_str(), old_->c_str(), 1) : ::unsetenv(name_.c_str()); }

private:
    std::string name_;
    std::optional<std::string> old_;
};

TEST(SeparatorPair, OtherIsCommaOnlyForAnExactPointAndNormalizeReplacesIt) {
    const struct {
        std::string locale, other;
    } pairs[] = {{".", ","}, {",", "."}, {kAr, "."}, {"", "."}, {". ", "."}};
    for (const auto& c : pairs) {
        SCOPED_TRACE(c.locale);
        EXPECT_EQ(DecimalSeparators::fromLocaleDecimal(c.locale),
                  (DecimalSeparators{c.locale, c.other}));
    }
    const struct {
        std::string locale, text, expected;
    } cases[] = {{",", "2.5", "2,5"}, {".", "2,5", "2.5"}, {".", "1,234.5", "1.234.5"},
                 {",", "...", ",,,"}, {",", "", ""},       {kAr, "2.5", "2٫5"},
                 {kAr, "2,5", "2,5"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale + " | " + c.text);
        EXPECT_EQ(DecimalSeparators::fromLocaleDecimal(c.locale).normalize(c.text), c.expected);
    }
}

TEST(TypedNumbers, ConvertByTheLocaleRuleAfterNormalisingOrThrowTypeMismatch) {
    const std::optional<double> no;
    const struct {
        std::string locale, text;
        std::optional<double> expected;
    } cases[] = {
        {",", "2.5", 2.5},    {",", " \t2,5  ", 2.5}, {",", "-2,5", -2.5},   {",", "+2,5", 2.5},
        {",", "1,5E3", 1500}, {",", "2,5e-1", 0.25},  {",", "1E+2", 100},    {",", "007", 7},
        {",", "1e-400", 0},   {",", "1.234,5", no},   {",", "", no},         {",", "  ", no},
        {",", ",", no},       {",", "-", no},         {",", "1e", no},       {",", "1e+", no},
        {",", "2,5 kg", no},  {",", "2 5", no},       {",", "--2", no},      {",", "0x10", no},
        {",", "inf", no},     {",", "nan", no},       {",", "Infinity", no}, {",", "1e400", no},
        {".", "2,5", 2.5},    {".", "1,234.5", no},   {".", ".5", 0.5},      {".", "5.", 5},
        {".", "1 234", no},   {kAr, "2.5", 2.5},      {kAr, "2٫5", 2.5},     {kAr, "2,5", no}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale + " | " + c.text);
        EXPECT_EQ(DecimalSeparators::fromLocaleDecimal(c.locale).toNumber(c.text), c.expected);
    }
    const auto comma = DecimalSeparators::fromLocaleDecimal(",");
    EXPECT_EQ(comma.toNumberOrThrow("12.5"), 12.5);
    try {
        comma.toNumberOrThrow("12.5.1");
        FAIL() << "no HostError";
    } catch (const HostError& e) {
        EXPECT_EQ(std::tuple(e.number(), e.source(), e.description()),
                  std::tuple(errnum::kTypeMismatch, "Kartoplot", "Type mismatch"));
    }
}

TEST(LocaleItems, RealLocalesGiveTheirSeparatorsAlsoAsTheDefaultLocale) {
    EXPECT_EQ(GetLocaleString(kLocaleDecimalItem, kRuLocale), ",");
    EXPECT_EQ(GetLocaleString(kLocaleDecimalItem, kEnLocale), ".");
    EXPECT_EQ(DecimalSeparator(kRuLocale), ",");
    EXPECT_EQ(GetLocaleString(kLocaleThousandItem, kEnLocale), ",");
    // Russian groups digits with a no-break space; newer C libraries use the narrow one.
    const std::string thousands = GetLocaleString(kLocaleThousandItem, kRuLocale);
    EXPECT_TRUE(thousands == "\u00A0" || thousands == "\u202F") << thousands;
    const struct {
        const char* locale;
        DecimalSeparators expected;
    } cases[] = {{kRuLocale, {",", "."}}, {kEnLocale, {".", ","}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale);
        const ScopedEnv lcAll("LC_ALL", c.locale);
        EXPECT_EQ(DecimalSeparator(), c.expected.localeDecimal);
        EXPECT_EQ(DecimalSeparators::fromSystem(), c.expected);
    }
}

TEST(LocaleItems, FailuresAreReportedAndFallBack) {
    const struct {
        int item;
        const char* locale;
        std::string result, procedure;
    } cases[] = {{kLocaleDecimalItem, "xx_YY.NOPE", ".", "GetLocaleInfo - 14 "},
                 {kLocaleThousandItem, "xx_YY.NOPE", "", "GetLocaleInfo - 15 "},
                 {99, kEnLocale, "", "GetLocaleInfo - 99 "}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item);
        auto log = std::make_shared<CapturingErrorLog>();
        const ScopedErrorLog scoped(log);
        EXPECT_EQ(GetLocaleString(c.item, c.locale), c.result);
        ASSERT_EQ(log->records().size(), 1u);
        EXPECT_EQ(log->finishCalls(), 1);
        const std::string& record = log->records().front();
        EXPECT_NE(record.find("\r\n\r\n\t" + c.procedure + "\r\n\r\nError Number \r\n"),
                  std::string::npos)
            << record;
        EXPECT_EQ(record.find("Error Number \r\n\t0\r\n"), std::string::npos) << record;
    }
}

TEST(LocaleItems, TheProcessLocaleIsNeitherChangedNorUsed) {
    const std::string before = std::setlocale(LC_NUMERIC, nullptr);
    {
        auto log = std::make_shared<CapturingErrorLog>();
        const ScopedErrorLog scoped(log);
        GetLocaleString(kLocaleDecimalItem, kRuLocale);
        GetLocaleString(kLocaleThousandItem, kEnLocale);
        DecimalSeparators::fromSystem();
        EXPECT_TRUE(log->records().empty());
        EXPECT_EQ(std::setlocale(LC_NUMERIC, nullptr), before);
    }
    ASSERT_NE(std::setlocale(LC_NUMERIC, kRuLocale), nullptr);
    const DecimalSeparators point;
    EXPECT_EQ(point.format(2.5), "2.5");
    EXPECT_EQ(point.toNumber("2.5"), 2.5);
    EXPECT_EQ(roundHalfEven(2.675, 2), 2.68);
    std::setlocale(LC_NUMERIC, before.c_str());
}

// Finite values with a point are checked against printf below; these are the other cases.
TEST(NumberText, DefaultTextHasFifteenDigitsAndTheGivenSeparator) {
    const struct {
        double value;
        std::string separator, expected;
    } cases[] = {{0.0, ".", "0"},           {-0.0, ".", "0"},          {1e15, ".", "1E+15"},
                 {1e-5, ".", "1E-05"},      {0.0001, ".", "0.0001"},   {-1.5e-7, ",", "-1,5E-07"},
                 {12.7, ",", "12,7"},       {2.5, kAr, "2٫5"},         {kInf, ".", "Infinity"},
                 {-kInf, ".", "-Infinity"}, {std::nan(""), ".", "NaN"},
                 {123456789012345.0, ".", "123456789012345"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(formatNumber(c.value, c.separator), c.expected);
    }
    // What is shown in a locale reads back there.
    for (const auto* locale : {".", ",", kAr}) {
        const auto separators = DecimalSeparators::fromLocaleDecimal(locale);
        for (const double value : {1234.5, -1.5e-7, 1e15}) {
            EXPECT_EQ(separators.toNumber(separators.format(value)), value) << locale << value;
        }
    }
}

// Must equal printf's "%.15G" for any double, also those whose shortest text has 16-17 digits.
TEST(NumberText, AgreesWithFifteenDigitPrintfOnRandomValues) {
    std::mt19937_64 rng(7);
    std::uniform_int_distribution<int> exponent(-6, 17);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    for (int i = 0; i < 200000; ++i) {
        double v = mantissa(rng) * std::pow(10.0, exponent(rng));
        if (i % 7 == 0) {
            v = std::nextafter(std::round(v), 1e300);  // just above a whole number
        }
        v = i % 2 == 1 ? -v : v;
        char expected[64];
        std::snprintf(expected, sizeof expected, "%.15G", v);
        ASSERT_EQ(formatNumber(v, "."), expected) << v;
    }
    EXPECT_EQ(formatNumber(9.9999999999999995, "."), "10");
}

// Near-ties such as 1000001.4995 are not ties: only an exact 5 after the kept digits is one.
// Decimals are clamped to 0..15; non-finite values pass through.
TEST(Rounding, TiesGoToEvenOnTheDecimalText) {
    const struct {
        double value;
        int decimals;
        double expected;
    } cases[] = {{2.5, 0, 2},      {3.5, 0, 4},          {0.5, 0, 0},      {0.125, 2, 0.12},
                 {0.375, 2, 0.38}, {2.675, 2, 2.68},     {1.005, 2, 1.0},  {1.015, 2, 1.02},
                 {56.69, 0, 57},   {0.05, 1, 0.0},       {0.06, 1, 0.1},   {-2.5, 0, -2},
                 {-3.5, 0, -4},    {-2.675, 2, -2.68},   {-56.69, 0, -57}, {1e300, 2, 1e300},
                 {2.5, -3, 2},     {0.1234, 99, 0.1234}, {-kInf, 2, -kInf},
                 {2.0111111111111, 3, 2.011},   {0.30000000000000004, 15, 0.3},
                 {5.291666666666667, 1, 5.3},   {1000001.4995, 0, 1000001},
                 {123456789.4999, 0, 123456789}, {0.1251, 2, 0.13}};
    for (const auto& c : cases) {
        SCOPED_TRACE(formatNumber(c.value, ".") + " at " + std::to_string(c.decimals));
        EXPECT_EQ(roundHalfEven(c.value, c.decimals), c.expected);
    }
    EXPECT_TRUE(std::isnan(roundHalfEven(std::nan(""), 2)));
}

TEST(Blanks, OnlySpacesAndTabsAtTheEndsAreRemoved) {
    const struct {
        std::string text, expected;
    } cases[] = {{"  a b \t", "a b"}, {"\t\t", ""}, {"", ""}, {"x", "x"}, {"\nx ", "\nx"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(trimBlanks(c.text), c.expected);
    }
}

}  // namespace
}  // namespace kartoplot::language
