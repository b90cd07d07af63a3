// Numbers as the user's locale writes them.
//
// Users type numbers with a point or a comma whatever their regional settings say. The
// locale's decimal separator is read once from the numeric locale (never by changing the
// process locale); DecimalSeparators keeps it with the other usual separator so that typed
// text can be normalised before it is converted. Formatting and decimal rounding live here
// too, so that every module shows and rounds numbers the same way.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace kartoplot::language {

// Locale item numbers understood by GetLocaleString.
inline constexpr int kLocaleDecimalItem = 14;   // decimal separator
inline constexpr int kLocaleThousandItem = 15;  // thousands separator

// The text of a numeric-locale item for localeName ("" = the user's default locale, from
// LC_ALL / LC_NUMERIC / LANG). The process locale is left untouched. When the locale cannot
// be opened or the item is unknown the failure is reported through HandleError and the
// result is "." for the decimal item and "" for any other item.
std::string GetLocaleString(int localeItem, const std::string& localeName = "");

// The locale's decimal separator: GetLocaleString(kLocaleDecimalItem, localeName).
std::string DecimalSeparator(const std::string& localeName = "");

// The locale's decimal separator and the other usual one, used to read typed numbers.
struct DecimalSeparators {
    std::string localeDecimal = ".";
    std::string otherDecimal = ",";

    // otherDecimal is "," when localeDecimal is exactly ".", else ".".
    static DecimalSeparators fromLocaleDecimal(std::string localeDecimal);

    // fromLocaleDecimal(DecimalSeparator()): the separators of the user's default locale.
    static DecimalSeparators fromSystem();

    // text with every occurrence of otherDecimal (left to right, non-overlapping) replaced by
    // localeDecimal. An empty otherDecimal changes nothing.
    std::string normalize(std::string_view text) const;

    // The number that normalize(text) spells: blanks around it, an optional sign, digits with
    // at most one localeDecimal, an optional exponent (E or e, optional sign, digits).
    // nullopt for anything else (empty text, thousands separators, hex, inf, nan) and for
    // values outside the finite range of double.
    std::optional<double> toNumber(std::string_view text) const;

    // toNumber(text), or throws HostError(errnum::kTypeMismatch, "Kartoplot", "Type mismatch").
    double toNumberOrThrow(std::string_view text) const;

    // formatNumber(value, localeDecimal).
    std::string format(double value) const;

    bool operator==(const DecimalSeparators&) const = default;
};

std::ostream& operator<<(std::ostream& out, const DecimalSeparators& separators);

// The default text of a number: at most 15 significant digits, trailing zeros dropped, an
// exponent ("1E+15", "1.5E-07") only below 1E-4 in magnitude and from 1E15 up, the given
// decimal separator, no blanks. "0" for 0 and -0; "NaN", "Infinity", "-Infinity" otherwise.
std::string formatNumber(double value, std::string_view decimalSeparator);

// value rounded to decimals places (clamped to 0..15), ties to even, judged on the value's
// decimal text (2.675 → 2.68 at 2 places). Values too large to carry a fraction at that
// precision, and non-finite values, come back unchanged.
double roundHalfEven(double value, int decimals);

// text without its leading and trailing blanks (spaces and tabs).
std::string trimBlanks(std::string_view text);

}  // namespace kartoplot::language
