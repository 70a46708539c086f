#pragma once

#include <QLocale>
#include <QString>
#include <QVariant>

class QDate;

// The one place where texts become numbers and dates and stored values become texts.

// ---------------------------------------------------------------------------------------------
// What the user types

// A text read as a number in the user's format, with what kept it from being one.
struct NumberReading
{
    enum class Problem
    {
        None,
        Empty,          // nothing but white space
        NotANumber,     // no number in that format; "nan", "inf" and overflows included
        OtherSeparator, // a number once the other separator ("." or ",") is the decimal one
    };

    double value = 0.0;
    Problem problem = Problem::NotANumber;
    // With OtherSeparator: the text as it reads in the user's format ("4.5" -> "4,5").
    QString corrected;

    bool ok() const { return problem == Problem::None; }
};

// The locale that reads numbers the way the user writes them: group separators only where
// its format puts them, none at all where the format leaves them out (as the C locale does).
QLocale numberReadingLocale(const QLocale &regional);

// Reads a finite number in the locale's format: its decimal separator only, an optional
// exponent, white space around it ignored. "nan", "inf" and numbers beyond a double are
// no numbers.
NumberReading readNumber(const QString &text, const QLocale &regional);

// A date typed as day.month.year with ".", "/" or "-" between (a two-digit year is 1950 to
// 2049), or as ISO yyyy-mm-dd; an invalid date when the text is neither.
QDate readDate(const QString &text);

// ---------------------------------------------------------------------------------------------
// Stored values as text

// A stored value as text: empty for null, numbers in the user's regional format without
// group separators and in their shortest exact form ("3,5"; a whole double without
// decimals), bytes as UTF-8, texts as they are.
QString textOf(const QVariant &stored);

// ---------------------------------------------------------------------------------------------
// The analysis windows' conversions. They fail with the messages of the variant and float
// conversions that these windows have always shown, as std::runtime_error.

// The line chart's: a number as it is; a text read in the user's regional format, failing
// that with the process-wide decimal separator. Throws with the variant conversion message
// when neither reads it, when it is too large, or for a null.
double valueToDouble(const QVariant &value);

// The pie's: a stored value as text; a null value has none and throws.
QString valueText(const QVariant &stored);
// A stored value as a number: numbers as they are, texts read in the user's regional
// format. Throws with the conversion messages the user sees.
double valueNumber(const QVariant &stored);
// A text read as a floating-point number in the user's regional format; throws when it is
// none (or not finite).
double parseRegionalFloat(const QString &text);
// "#,##0.###" in the user's regional format: group separators, up to three decimals.
QString formatMarkValue(double value);
