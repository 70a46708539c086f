#include "core/ValueConversion.h"

#include "core/FormatSettings.h"

#include <QDate>
#include <QRegularExpression>
#include <cmath>
#include <stdexcept>

using namespace Qt::StringLiterals;

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

// day.month.year with ".", "/" or "-" between, or ISO yyyy-mm-dd.
QDate readDate(const QString &text)
{
    static const QRegularExpression dayFirst(
        QStringLiteral(R"(^\s*(\d{1,2})[./-](\d{1,2})[./-](\d{4}|\d{2})\s*$)"));
    static const QRegularExpression iso(QStringLiteral(R"(^\s*(\d{4})-(\d{1,2})-(\d{1,2})\s*$)"));
    if (const auto m = iso.match(text); m.hasMatch())
        return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (const auto m = dayFirst.match(text); m.hasMatch()) {
        int year = m.captured(3).toInt();
        if (m.captured(3).size() == 2)
            year += year < 50 ? 2000 : 1900;
        return QDate(year, m.captured(2).toInt(), m.captured(1).toInt());
    }
    return {};
}

// ---------------------------------------------------------------------------------------------
// Stored values as text

QString textOf(const QVariant &stored)
{
    if (stored.isNull())
        return {};
    // Texts, most of what is read, need no locale.
    if (stored.typeId() == QMetaType::QString)
        return stored.toString();
    QLocale regional = FormatSettings::instance().regionalLocale();
    // Grouped digits would only get in the way of reading or editing the number again.
    regional.setNumberOptions(regional.numberOptions() | QLocale::OmitGroupSeparator);
    switch (stored.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
        return regional.toString(stored.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float: {
        // Without an exponent for the magnitudes people type.
        const double value = stored.toDouble();
        const double magnitude = std::abs(value);
        const bool plain = magnitude == 0.0 || (magnitude >= 1e-4 && magnitude < 1e15);
        return regional.toString(value, plain ? 'f' : 'g', QLocale::FloatingPointShortest);
    }
    case QMetaType::QByteArray:
        return QString::fromUtf8(stored.toByteArray());
    default:
        return stored.toString();
    }
}

// ---------------------------------------------------------------------------------------------
// The analysis windows' conversions

namespace {

[[noreturn]] void throwConversion(const char *what, const QString &from)
{
    throw std::runtime_error(
        u"%1 variant of type (%2) into type (Double)"_s.arg(QString::fromLatin1(what), from)
            .toStdString());
}

[[noreturn]] void throwCannotConvert(const QString &from)
{
    throwConversion("Could not convert", from);
}

[[noreturn]] void throwOverflow(const QString &from)
{
    throwConversion("Overflow while converting", from);
}

bool isNumberType(int typeId)
{
    switch (typeId) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return true;
    default:
        return false;
    }
}

// A text read as a number; an overflow is a number too large for a double.
struct Reading
{
    double number = 0.0;
    bool ok = false;

    bool overflowed() const { return !ok && std::isinf(number); }
};

Reading readIn(const QLocale &locale, const QString &text)
{
    Reading reading;
    reading.number = locale.toDouble(text, &reading.ok);
    return reading;
}

// The program's own conversion: one decimal separator, no grouping, an optional exponent.
Reading readWithSeparator(QString text, QChar separator)
{
    text = text.trimmed();
    if (separator != u'.') {
        if (text.contains(u'.'))
            return {};
        text.replace(separator, u'.');
    }
    QLocale plain = QLocale::c();
    plain.setNumberOptions(QLocale::RejectGroupSeparator);
    return readIn(plain, text);
}

double textToDouble(const QString &text)
{
    const FormatSettings &settings = FormatSettings::instance();
    Reading reading = readIn(settings.regionalLocale(), text);
    if (!reading.ok && !reading.overflowed())
        reading = readWithSeparator(text, settings.decimalSeparator());
    if (reading.overflowed())
        throwOverflow(u"OleStr"_s);
    // "inf" and "nan" are words, not numbers, to the user's number format.
    if (!reading.ok || !std::isfinite(reading.number))
        throwCannotConvert(u"OleStr"_s);
    return reading.number;
}

[[noreturn]] void conversionFailed(const QString &message)
{
    throw std::runtime_error(message.toStdString());
}

} // namespace

double valueToDouble(const QVariant &value)
{
    const int type = value.typeId();
    if (!value.isValid() || type == QMetaType::Nullptr)
        throwCannotConvert(u"Null"_s);
    if (type == QMetaType::QString)
        return textToDouble(value.toString());
    if (isNumberType(type)) {
        const double number = value.toDouble();
        // Only an overflowed literal stores an infinity; a line cannot be drawn through it.
        if (!std::isfinite(number))
            throwOverflow(u"Double"_s);
        return number;
    }
    if (type == QMetaType::QByteArray)
        throwCannotConvert(u"Array Byte"_s);
    throwCannotConvert(QString::fromLatin1(value.typeName()));
}

QString valueText(const QVariant &stored)
{
    if (stored.isNull())
        conversionFailed(
            QStringLiteral("Could not convert variant of type (Null) into type (String)"));
    return textOf(stored);
}

double valueNumber(const QVariant &stored)
{
    // A stored number would be written out in the regional format and read back: the
    // same number, so the round trip is skipped.
    switch (stored.typeId()) {
    case QMetaType::Double: {
        const double number = stored.toDouble();
        if (!std::isfinite(number))
            return parseRegionalFloat(textOf(stored));
        return number;
    }
    case QMetaType::LongLong:
        return double(stored.toLongLong());
    default:
        return parseRegionalFloat(valueText(stored));
    }
}

double parseRegionalFloat(const QString &text)
{
    bool ok = false;
    const double number = FormatSettings::instance().regionalLocale().toDouble(text, &ok);
    // "inf" and "nan" read as numbers here, but no mean or pie can be made of them.
    if (!ok || !std::isfinite(number))
        conversionFailed(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return number;
}

QString formatMarkValue(double value)
{
    QLocale regional = FormatSettings::instance().regionalLocale();
    regional.setNumberOptions(QLocale::DefaultNumberOptions);
    QString text = regional.toString(value, 'f', 3);
    const QString point = regional.decimalPoint();
    const qsizetype decimals = text.lastIndexOf(point);
    if (decimals >= 0) {
        qsizetype end = text.size();
        while (end > decimals + point.size() && text.at(end - 1) == regional.zeroDigit().front())
            --end;
        if (end == decimals + point.size())
            end = decimals;
        text.truncate(end);
    }
    // A tiny negative value rounds to zero, which carries no sign.
    if (text == regional.negativeSign() + regional.zeroDigit())
        text = regional.zeroDigit();
    return text;
}
