#include "language/locale_numbers.h"

#include "command/error_handling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kartoplot::language {
namespace {

constexpr char kRuLocale[] = "ru_RU.UTF-8";
constexpr char kEnLocale[] = "en_US.UTF-8";
constexpr char kArabicDecimal[] = "٫";

// Sets an environment variable for one scope and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        ::setenv(name, value, 1);
    }
    ~ScopedEnv() {
        if (old_) {
            ::setenv(name_.c_str(), old_->c_str(), 1);
        } else {
            ::unsetenv(name_.c_str());
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// Sets the process's numeric locale for one scope and puts the old one back.
class ScopedNumericLocale {
public:
    explicit ScopedNumericLocale(const char* name) : old_(std::setlocale(LC_NUMERIC, nullptr)) {
        applied_ = std::setlocale(LC_NUMERIC, name) != nullptr;
    }
    ~ScopedNumericLocale() { std::setlocale(LC_NUMERIC, old_.c_str()); }
    ScopedNumericLocale(const ScopedNumericLocale&) = delete;
    ScopedNumericLocale& operator=(const ScopedNumericLocale&) = delete;
    bool applied() const { return applied_; }

private:
    std::string old_;
    bool applied_ = false;
};

std::vector<std::string> recordLines(const std::string& record) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (auto at = record.find("\r\n"); at != std::string::npos; at = record.find("\r\n", from)) {
        lines.push_back(record.substr(from, at - from));
        from = at + 2;
    }
    lines.push_back(record.substr(from));
    return lines;
}

TEST(SeparatorPair, OtherIsCommaOnlyForAnExactPoint) {
    const struct {
        std::string locale;
        std::string other;
    } cases[] = {{".", ","}, {",", "."}, {kArabicDecimal, "."}, {"", "."}, {". ", "."}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale);
        const auto separators = DecimalSeparators::fromLocaleDecimal(c.locale);
        EXPECT_EQ(separators, (DecimalSeparators{c.locale, c.other}));
    }
    EXPECT_EQ(DecimalSeparators{}, DecimalSeparators::fromLocaleDecimal("."));
}

TEST(SeparatorPair, NormalizeReplacesEveryOtherSeparator) {
    const struct {
        std::string locale;
        std::string text;
        std::string expected;
    } cases[] = {{",", "2.5", "2,5"},
                 {",", "2,5", "2,5"},
                 {".", "2,5", "2.5"},
                 {".", "1,234.5", "1.234.5"},
                 {",", "...", ",,,"},
                 {",", "", ""},
                 {kArabicDecimal, "2.5", "2٫5"},
                 {kArabicDecimal, "2,5", "2,5"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale + " | " + c.text);
        EXPECT_EQ(DecimalSeparators::fromLocaleDecimal(c.locale).normalize(c.text), c.expected);
    }
}

TEST(TypedNumbers, ConvertByTheLocaleRuleAfterNormalising) {
    const std::optional<double> fails;
    const struct {
        std::string locale;
        std::string text;
        std::optional<double> expected;
    } cases[] = {
        {",", "2.5", 2.5},
        {",", "2,5", 2.5},
        {",", " \t2,5  ", 2.5},
        {",", "-2,5", -2.5},
        {",", "+2,5", 2.5},
        {",", "1,5E3", 1500.0},
        {",", "2,5e-1", 0.25},
        {",", "1E+2", 100.0},
        {",", "007", 7.0},
        {",", "1.234,5", fails},
        {",", "", fails},
        {",", "  ", fails},
        {",", ",", fails},
        {",", "-", fails},
        {",", "1e", fails},
        {",", "1e+", fails},
        {",", "2,5 kg", fails},
        {",", "2 5", fails},
        {",", "--2", fails},
        {",", "0x10", fails},
        {",", "inf", fails},
        {",", "nan", fails},
        {",", "Infinity", fails},
        {",", "1e400", fails},
        {",", "1e-400", 0.0},
        {".", "2,5", 2.5},
        {".", "1,234.5", fails},
        {".", ".5", 0.5},
        {".", "5.", 5.0},
        {".", "1 234", fails},
        {kArabicDecimal, "2.5", 2.5},
        {kArabicDecimal, "2٫5", 2.5},
        {kArabicDecimal, "2,5", fails},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale + " | " + c.text);
        EXPECT_EQ(DecimalSeparators::fromLocaleDecimal(c.locale).toNumber(c.text), c.expected);
    }
}

TEST(TypedNumbers, FailureThrowsTypeMismatch) {
    const auto separators = DecimalSeparators::fromLocaleDecimal(",");
    EXPECT_EQ(separators.toNumberOrThrow("12.5"), 12.5);
    try {
        separators.toNumberOrThrow("12.5.1");
        FAIL() << "no HostError";
    } catch (const HostError& e) {
        EXPECT_EQ(e.number(), errnum::kTypeMismatch);
        EXPECT_EQ(e.source(), "Kartoplot");
        EXPECT_EQ(e.description(), "Type mismatch");
    }
}

TEST(LocaleItems, RealLocalesGiveTheirSeparators) {
    EXPECT_EQ(GetLocaleString(kLocaleDecimalItem, kRuLocale), ",");
    EXPECT_EQ(GetLocaleString(kLocaleDecimalItem, kEnLocale), ".");
    EXPECT_EQ(DecimalSeparator(kRuLocale), ",");
    EXPECT_EQ(GetLocaleString(kLocaleThousandItem, kEnLocale), ",");
    // Russian groups digits with a no-break space; newer C libraries use the narrow one.
    const std::string thousands = GetLocaleString(kLocaleThousandItem, kRuLocale);
    EXPECT_TRUE(thousands == "\u00A0" || thousands == "\u202F") << thousands;
}

TEST(LocaleItems, DefaultLocaleComesFromTheEnvironment) {
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
        std::string result;
        std::string procedureLine;
    } cases[] = {{kLocaleDecimalItem, "xx_YY.NOPE", ".", "\tGetLocaleInfo - 14 "},
                 {kLocaleThousandItem, "xx_YY.NOPE", "", "\tGetLocaleInfo - 15 "},
                 {99, kEnLocale, "", "\tGetLocaleInfo - 99 "}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item);
        auto log = std::make_shared<CapturingErrorLog>();
        const ScopedErrorLog scoped(log);
        EXPECT_EQ(GetLocaleString(c.item, c.locale), c.result);
        ASSERT_EQ(log->records().size(), 1u);
        EXPECT_EQ(log->finishCalls(), 1);
        const auto lines = recordLines(log->records().front());
        ASSERT_GE(lines.size(), 6u);
        EXPECT_EQ(lines[2], c.procedureLine);
        EXPECT_NE(lines[5], "\t0");  // the error number
    }
}

TEST(LocaleItems, QueriesLeaveTheProcessLocaleAloneAndReportOnlyFailures) {
    const std::string before = std::setlocale(LC_NUMERIC, nullptr);
    auto log = std::make_shared<CapturingErrorLog>();
    const ScopedErrorLog scoped(log);
    GetLocaleString(kLocaleDecimalItem, kRuLocale);
    GetLocaleString(kLocaleThousandItem, kEnLocale);
    DecimalSeparators::fromSystem();
    EXPECT_TRUE(log->records().empty());
    GetLocaleString(kLocaleDecimalItem, "xx_YY.NOPE");
    EXPECT_EQ(log->records().size(), 1u);
    EXPECT_EQ(std::setlocale(LC_NUMERIC, nullptr), before);
}

TEST(LocaleItems, ReadingAndWritingIgnoreTheProcessLocale) {
    const ScopedNumericLocale russian(kRuLocale);
    ASSERT_TRUE(russian.applied());
    const DecimalSeparators point;
    EXPECT_EQ(point.format(2.5), "2.5");
    EXPECT_EQ(point.toNumber("2.5"), 2.5);
    EXPECT_EQ(roundHalfEven(2.675, 2), 2.68);
}

TEST(NumberText, DefaultTextHasFifteenDigitsAndTheGivenSeparator) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double value;
        std::string separator;
        std::string expected;
    } cases[] = {
        {0.0, ".", "0"},
        {-0.0, ".", "0"},
        {12.7, ".", "12.7"},
        {2.011, ".", "2.011"},
        {9.9461251554, ".", "9.9461251554"},
        {1234.5678, ".", "1234.5678"},
        {0.1 + 0.2, ".", "0.3"},
        {2.0 / 3.0, ".", "0.666666666666667"},
        {-2.5, ".", "-2.5"},
        {123456789012345.0, ".", "123456789012345"},
        {1e15, ".", "1E+15"},
        {0.0001, ".", "0.0001"},
        {1e-5, ".", "1E-05"},
        {1.5e-7, ".", "1.5E-07"},
        {12.7, ",", "12,7"},
        {-1.5e-7, ",", "-1,5E-07"},
        {2.5, kArabicDecimal, "2٫5"},
        {std::nan(""), ".", "NaN"},
        {inf, ".", "Infinity"},
        {-inf, ".", "-Infinity"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(formatNumber(c.value, c.separator), c.expected);
    }
    EXPECT_EQ(DecimalSeparators::fromLocaleDecimal(",").format(1234.5), "1234,5");
}

TEST(NumberText, ShownNumbersReadBack) {
    for (const auto* locale : {".", ",", kArabicDecimal}) {
        const auto separators = DecimalSeparators::fromLocaleDecimal(locale);
        for (const double value : {12.7, -0.125, 1e15, 1.5e-7, 123456789012345.0}) {
            SCOPED_TRACE(std::string(locale) + " " + formatNumber(value, "."));
            EXPECT_EQ(separators.toNumber(separators.format(value)), value);
        }
    }
}

TEST(Rounding, TiesGoToEvenOnTheDecimalText) {
    const struct {
        double value;
        int decimals;
        double expected;
    } cases[] = {
        {2.5, 0, 2.0},
        {3.5, 0, 4.0},
        {0.5, 0, 0.0},
        {0.125, 2, 0.12},
        {0.375, 2, 0.38},
        {2.675, 2, 2.68},  // stored as 2.67499999..., read as the tie 2.675
        {1.005, 2, 1.0},   // stored as 1.00499999..., a tie resolved to even 0
        {1.015, 2, 1.02},
        {56.69, 0, 57.0},
        {2.0111111111111, 3, 2.011},
        {0.05, 1, 0.0},
        {0.06, 1, 0.1},
        {0.04, 1, 0.0},
        {0.30000000000000004, 15, 0.3},
        {-2.5, 0, -2.0},
        {-3.5, 0, -4.0},
        {-2.675, 2, -2.68},
        {-56.69, 0, -57.0},
        {5.291666666666667, 1, 5.3},
        {1e300, 2, 1e300},
        {7.0, 2, 7.0},
        // Close to a tie but not one: only an exact 5 after the kept digits is a tie.
        {1000001.4995, 0, 1000001.0},
        {123456789.4999, 0, 123456789.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(formatNumber(c.value, ".") + " at " + std::to_string(c.decimals));
        EXPECT_EQ(roundHalfEven(c.value, c.decimals), c.expected);
    }
}

TEST(Rounding, DecimalsAreClampedAndNonFiniteValuesPassThrough) {
    EXPECT_EQ(roundHalfEven(2.5, -3), 2.0);
    EXPECT_EQ(roundHalfEven(0.1234, 99), 0.1234);
    EXPECT_TRUE(std::isnan(roundHalfEven(std::nan(""), 2)));
    EXPECT_EQ(roundHalfEven(-std::numeric_limits<double>::infinity(), 2),
              -std::numeric_limits<double>::infinity());
}

TEST(Blanks, OnlySpacesAndTabsAtTheEndsAreRemoved) {
    const struct {
        std::string text;
        std::string expected;
    } cases[] = {{"  a b \t", "a b"}, {"\t\t", ""}, {"", ""}, {"x", "x"}, {"\nx ", "\nx"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(trimBlanks(c.text), c.expected);
    }
}

}  // namespace
}  // namespace kartoplot::language

namespace kartoplot::language {
namespace {

// The number text must be printf's "%.15G" (with the separator and exponent letters of the
// locale's form) for any double, including values whose shortest text has 16 or 17 digits.
TEST(NumberText, AgreesWithFifteenDigitPrintfOnRandomValues) {
    std::mt19937_64 rng(7);
    std::uniform_int_distribution<int> exponent(-6, 17);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    for (int i = 0; i < 200000; ++i) {
        double v = mantissa(rng) * std::pow(10.0, exponent(rng));
        if (i % 7 == 0) {
            v = std::nextafter(std::round(v), 1e300);  // just above a whole number
        }
        if (i % 2 == 1) {
            v = -v;
        }
        char expected[64];
        std::snprintf(expected, sizeof expected, "%.15G", v);
        ASSERT_EQ(formatNumber(v, "."), expected) << v;
    }
    EXPECT_EQ(formatNumber(9.9999999999999995, "."), "10");
    EXPECT_EQ(formatNumber(0.30000000000000004, "."), "0.3");
}

}  // namespace
}  // namespace kartoplot::language
