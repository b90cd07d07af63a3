#include "language/locale_numbers.h"

#include "errors/error_handling.h"

#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <limits>
#include <memory>
#include <ostream>
#include <system_error>
#include <type_traits>

namespace kartoplot::language {

namespace {

constexpr int kReportStyle = 4;
constexpr std::string_view kBlanks = " \t";

// Largest number of decimals roundHalfEven keeps, and the significant digits of a number's text.
constexpr int kMaxDecimals = 15;
constexpr int kSignificantDigits = 15;

// From 2^52 up a double carries no binary fraction, so there is nothing left to round.
constexpr double kNoFractionBound = 4503599627370496.0;

// 10^0 .. 10^15, all exact in a double.
constexpr std::array<double, kMaxDecimals + 1> kPowersOfTen = {
    1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

using LocaleHandle = std::unique_ptr<std::remove_pointer_t<locale_t>, decltype(&freelocale)>;

void reportLocaleFailure(int localeItem, int error, const std::string& description) {
    HandleError(true, "GetLocaleInfo - " + std::to_string(localeItem) + " ",
                error != 0 ? error : errnum::kInvalidCall, "Kartoplot", description, kReportStyle);
}

// What a failed query returns: a usable decimal separator, nothing for other items.
std::string failedItemText(int localeItem) {
    return localeItem == kLocaleDecimalItem ? "." : "";
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view trimmedView(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

// Decimal exponent of the first significant digit of a plain number text ("0.00012e-3" → -7).
// Only the sign of the answer matters (it tells an underflow from an overflow), so a huge
// exponent part is simply saturated.
long long leadingExponent(std::string_view number) {
    const auto expAt = number.find('e');
    const std::string_view mantissa = number.substr(0, expAt);
    long long exponent = 0;
    if (expAt != std::string_view::npos) {
        std::string_view digits = number.substr(expAt + 1);
        const bool negative = !digits.empty() && digits.front() == '-';
        if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
            digits.remove_prefix(1);
        }
        const auto [end, ec] =
            std::from_chars(digits.data(), digits.data() + digits.size(), exponent);
        if (ec == std::errc::result_out_of_range) {
            exponent = 1'000'000'000;
        }
        exponent = negative ? -exponent : exponent;
    }
    const auto point = std::min(mantissa.find('.'), mantissa.size());
    const auto firstSignificant = mantissa.find_first_of("123456789");
    if (firstSignificant == std::string_view::npos) {
        return exponent;
    }
    const auto position = static_cast<long long>(firstSignificant);
    const auto pointPosition = static_cast<long long>(point);
    const long long lead =
        position < pointPosition ? pointPosition - position - 1 : pointPosition - position;
    return lead + exponent;
}

}  // namespace

std::string GetLocaleString(int localeItem, const std::string& localeName) {
    nl_item item = RADIXCHAR;
    switch (localeItem) {
        case kLocaleDecimalItem:
            item = RADIXCHAR;
            break;
        case kLocaleThousandItem:
            item = THOUSEP;
            break;
        default:
            reportLocaleFailure(localeItem, 0, "Unknown locale item");
            return failedItemText(localeItem);
    }

    // A locale object of our own: the process locale (setlocale) stays as it is.
    errno = 0;
    LocaleHandle locale(newlocale(LC_NUMERIC_MASK, localeName.c_str(), static_cast<locale_t>(0)),
                        &freelocale);
    if (!locale) {
        const int error = errno;
        const std::string which =
            localeName.empty() ? "of the environment" : "\"" + localeName + "\"";
        reportLocaleFailure(localeItem, error, "The numeric locale " + which + " is not available");
        return failedItemText(localeItem);
    }
    const char* text = nl_langinfo_l(item, locale.get());
    return text != nullptr ? std::string(text) : std::string();
}

std::string DecimalSeparator(const std::string& localeName) {
    return GetLocaleString(kLocaleDecimalItem, localeName);
}

DecimalSeparators DecimalSeparators::fromLocaleDecimal(std::string localeDecimal) {
    DecimalSeparators separators;
    separators.otherDecimal = localeDecimal == "." ? "," : ".";
    separators.localeDecimal = std::move(localeDecimal);
    return separators;
}

DecimalSeparators DecimalSeparators::fromSystem() {
    return fromLocaleDecimal(DecimalSeparator());
}

std::string DecimalSeparators::normalize(std::string_view text) const {
    if (otherDecimal.empty()) {
        return std::string(text);
    }
    std::string result;
    result.reserve(text.size());
    std::size_t from = 0;
    for (auto at = text.find(otherDecimal); at != std::string_view::npos;
         at = text.find(otherDecimal, from)) {
        result.append(text.substr(from, at - from));
        result.append(localeDecimal);
        from = at + otherDecimal.size();
    }
    result.append(text.substr(from));
    return result;
}

std::optional<double> DecimalSeparators::toNumber(std::string_view text) const {
    const std::string normalized = normalize(text);
    const std::string_view number = trimmedView(normalized);

    // Check the whole text against the number rule while copying it into the plain form that
    // from_chars reads: no '+', '.' as the separator, 'e' before the exponent.
    std::string plain;
    plain.reserve(number.size());
    std::size_t at = 0;
    if (at < number.size() && (number[at] == '+' || number[at] == '-')) {
        if (number[at] == '-') {
            plain += '-';
        }
        ++at;
    }
    bool hasDigits = false;
    bool hasSeparator = false;
    while (at < number.size()) {
        if (isDigit(number[at])) {
            plain += number[at++];
            hasDigits = true;
        } else if (!hasSeparator && !localeDecimal.empty() &&
                   number.substr(at).starts_with(localeDecimal)) {
            plain += '.';
            hasSeparator = true;
            at += localeDecimal.size();
        } else {
            break;
        }
    }
    if (!hasDigits) {
        return std::nullopt;
    }
    if (at < number.size() && (number[at] == 'e' || number[at] == 'E')) {
        plain += 'e';
        ++at;
        if (at < number.size() && (number[at] == '+' || number[at] == '-')) {
            plain += number[at++];
        }
        bool hasExponentDigits = false;
        while (at < number.size() && isDigit(number[at])) {
            plain += number[at++];
            hasExponentDigits = true;
        }
        if (!hasExponentDigits) {
            return std::nullopt;
        }
    }
    if (at != number.size()) {
        return std::nullopt;
    }

    double value = 0.0;
    const auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (ec == std::errc::result_out_of_range && leadingExponent(plain) < 0) {
        // Too small for a double: the nearest double is zero.
        return plain.front() == '-' ? -0.0 : 0.0;
    }
    if (ec != std::errc() || end != plain.data() + plain.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

double DecimalSeparators::toNumberOrThrow(std::string_view text) const {
    const auto value = toNumber(text);
    if (!value) {
        throw HostError(errnum::kTypeMismatch, "Kartoplot", "Type mismatch");
    }
    return *value;
}

std::string DecimalSeparators::format(double value) const {
    return formatNumber(value, localeDecimal);
}

std::ostream& operator<<(std::ostream& out, const DecimalSeparators& separators) {
    return out << "DecimalSeparators{locale \"" << separators.localeDecimal << "\", other \""
               << separators.otherDecimal << "\"}";
}

namespace {

// The significant decimal digits of |value| (at most 15, no trailing zeros) and the decimal
// exponent of the first one: 1234.5 → "12345", 3. The shortest text that reads back as the
// double is tried first (fast); when it needs more than 15 digits the value is rounded to 15.
struct DecimalDigits {
    std::array<char, 24> digits{};
    int count = 0;
    int exponent = 0;
    bool shortest = true;  // the digits read back as the value itself
};

DecimalDigits decimalDigits(double magnitude) {
    std::array<char, 40> buffer{};
    auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                                std::chars_format::scientific);
    std::string_view text(buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data()));
    DecimalDigits d;
    const auto readDigits = [&](std::string_view t) {
        d.count = 0;
        const std::size_t expAt = t.find('e');
        for (std::size_t i = 0; i < expAt; ++i) {
            if (t[i] != '.') {
                d.digits[static_cast<std::size_t>(d.count++)] = t[i];
            }
        }
        const std::string_view expText = t.substr(expAt + 1);
        std::from_chars(expText.data() + (expText.front() == '+' ? 1 : 0),
                        expText.data() + expText.size(), d.exponent);
    };
    readDigits(text);
    if (magnitude < std::numeric_limits<double>::min()) {
        // Subnormal numbers carry fewer than 15 digits: their shortest text is no 15-digit
        // rounding, so they take the exact conversion.
        d.shortest = false;
        result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                               std::chars_format::scientific, kSignificantDigits - 1);
        readDigits(std::string_view(buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data())));
    } else if (d.count > kSignificantDigits) {
        d.shortest = false;
        // Rounding the shortest text to 15 digits gives the value's own 15-digit rounding:
        // no 15-digit rounding boundary can lie strictly between the value and its shortest
        // text (the boundary would be a shorter text of the same value). Only a shortest text
        // that is itself such a boundary (16 digits ending in 5) needs the exact conversion.
        const bool tie = d.count == kSignificantDigits + 1 &&
                         d.digits[static_cast<std::size_t>(kSignificantDigits)] == '5';
        if (tie) {
            result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                                   std::chars_format::scientific, kSignificantDigits - 1);
            readDigits(std::string_view(buffer.data(),
                                        static_cast<std::size_t>(result.ptr - buffer.data())));
        } else {
            const bool up = d.digits[static_cast<std::size_t>(kSignificantDigits)] >= '5';
            d.count = kSignificantDigits;
            for (int i = d.count - 1; up && i >= 0; --i) {
                char& digit = d.digits[static_cast<std::size_t>(i)];
                if (digit == '9') {
                    digit = '0';
                    if (i == 0) {  // 9.99…→ 10.0…: one more digit before the point
                        d.digits[0] = '1';
                        ++d.exponent;
                    }
                } else {
                    ++digit;
                    break;
                }
            }
        }
    }
    while (d.count > 1 && d.digits[static_cast<std::size_t>(d.count - 1)] == '0') {
        --d.count;
    }
    return d;
}

}  // namespace

std::string formatNumber(double value, std::string_view decimalSeparator) {
    if (std::isnan(value)) {
        return "NaN";
    }
    if (std::isinf(value)) {
        return value > 0 ? "Infinity" : "-Infinity";
    }
    if (value == 0.0) {
        return "0";
    }
    // General format with 15 significant digits: trailing zeros dropped, an exponent only
    // below 1E-4 and from 1E15 up, as printf("%.15G") writes it but independent of the
    // process locale.
    const DecimalDigits d = decimalDigits(std::fabs(value));
    const std::string_view digits(d.digits.data(), static_cast<std::size_t>(d.count));
    // No reserve: most number texts fit in the string's own buffer, and chart runs format
    // several per chart.
    std::string text;
    if (value < 0) {
        text += '-';
    }
    if (d.exponent < -4 || d.exponent >= kSignificantDigits) {
        text += digits.front();
        if (digits.size() > 1) {
            text.append(decimalSeparator);
            text.append(digits.substr(1));
        }
        text += d.exponent < 0 ? "E-" : "E+";
        const int e = std::abs(d.exponent);
        if (e < 10) {
            text += '0';
        }
        text += std::to_string(e);
    } else if (d.exponent >= 0) {
        const auto whole = static_cast<std::size_t>(d.exponent) + 1;
        if (digits.size() <= whole) {
            text.append(digits);
            text.append(whole - digits.size(), '0');
        } else {
            text.append(digits.substr(0, whole));
            text.append(decimalSeparator);
            text.append(digits.substr(whole));
        }
    } else {
        text += '0';
        text.append(decimalSeparator);
        text.append(static_cast<std::size_t>(-d.exponent - 1), '0');
        text.append(digits);
    }
    return text;
}

double roundHalfEven(double value, int decimals) {
    if (!std::isfinite(value) || value == 0.0) {
        return value;
    }
    decimals = std::clamp(decimals, 0, kMaxDecimals);
    const double scale = kPowersOfTen[static_cast<std::size_t>(decimals)];
    const double magnitude = std::fabs(value);
    if (magnitude * scale >= kNoFractionBound) {
        return value;
    }

    // Round the number's 15-digit decimal text, not its binary value: 2.675 is stored as
    // 2.67499999..., but reads "2.675", a tie.
    const DecimalDigits d = decimalDigits(magnitude);
    // digits[i] stands for 10^(exponent - i); the last kept digit is the one for 10^-decimals.
    const int lastKept = d.exponent + decimals;
    if (d.shortest && lastKept >= d.count - 1) {
        return value;  // nothing beyond the decimals asked for
    }
    double kept = 0.0;  // the kept digits as a whole number of 10^-decimals units
    for (int i = 0; i <= lastKept; ++i) {
        kept = kept * 10.0 + (i < d.count ? d.digits[static_cast<std::size_t>(i)] - '0' : 0);
    }
    const int next = lastKept + 1;
    if (next >= 0 && next < d.count) {
        const char first = d.digits[static_cast<std::size_t>(next)];
        const bool restIsZero = next + 1 >= d.count;  // trailing zeros are already dropped
        const bool keptIsOdd = std::fmod(kept, 2.0) != 0.0;
        if (first > '5' || (first == '5' && (!restIsZero || keptIsOdd))) {
            kept += 1.0;
        }
    }
    return std::copysign(kept / scale, value);
}

std::string trimBlanks(std::string_view text) {
    return std::string(trimmedView(text));
}

}  // namespace kartoplot::language
