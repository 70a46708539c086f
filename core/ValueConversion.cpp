#include "core/ValueConversion.h"

#include <cmath>

QLocale numberReadingLocale(const QLocale &regional)
{
    QLocale reading = regional;
    if (regional.numberOptions() & QLocale::OmitGroupSeparator)
        reading.setNumberOptions(regional.numberOptions() | QLocale::RejectGroupSeparator);
    return reading;
}

namespace {

bool readFinite(const QLocale &locale, const QString &text, double &value)
{
    bool ok = false;
    value = locale.toDouble(text, &ok);
    return ok && std::isfinite(value);
}

} // namespace

NumberReading readNumber(const QString &text, const QLocale &regional)
{
    NumberReading reading;
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        reading.problem = NumberReading::Problem::Empty;
        return reading;
    }
    const QLocale locale = numberReadingLocale(regional);
    if (readFinite(locale, trimmed, reading.value)) {
        reading.problem = NumberReading::Problem::None;
        return reading;
    }
    // The usual slip: "4.5" where the format wants "4,5", or the other way round. One such
    // mark that makes a number once it is the decimal separator gets its own hint.
    const QString point = locale.decimalPoint();
    for (const QChar other : {QChar(u'.'), QChar(u',')}) {
        if (point == other || trimmed.count(other) != 1 || trimmed.contains(point))
            continue;
        QString corrected = trimmed;
        corrected.replace(other, point);
        double value = 0.0;
        if (readFinite(locale, corrected, value)) {
            reading.problem = NumberReading::Problem::OtherSeparator;
            reading.corrected = corrected;
            return reading;
        }
    }
    reading.value = 0.0;
    return reading;
}
