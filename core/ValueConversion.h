#pragma once

#include <QLocale>
#include <QString>

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
