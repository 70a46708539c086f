#include "db/FieldInfo.h"

#include "core/DbError.h"

#include "core/FormatSettings.h"
#include "core/ValueConversion.h"

#include <QDate>
#include <QRegularExpression>
#include <cmath>

namespace {

bool declares(const QString &upper, const char *word)
{
    return upper.contains(QLatin1String(word));
}

DbError refused(const QString &text, const FieldInfo &field, const QString &what)
{
    return DbError(QStringLiteral("«%1» не является %2: столбец «%3» не принимает это значение")
                       .arg(text, what, field.name));
}

DbError notANumber(const QString &text, const FieldInfo &field, const NumberReading &reading)
{
    if (reading.problem == NumberReading::Problem::Empty && field.requiresNumber)
        return DbError(
            QStringLiteral("Значение не указано: столбец «%1» требует число").arg(field.name));
    DbError plain = refused(text, field, QStringLiteral("числом"));
    if (reading.problem != NumberReading::Problem::OtherSeparator)
        return plain;
    const QString point = FormatSettings::instance().regionalLocale().decimalPoint();
    return DbError(QStringLiteral("%1. Дробная часть отделяется знаком «%2», например «%3»")
                       .arg(plain.message(), point, reading.corrected));
}

// The number a text stands for in the user's format.
double numberIn(const QString &text, const FieldInfo &field)
{
    const NumberReading reading = readNumber(text, FormatSettings::instance().regionalLocale());
    if (!reading.ok())
        throw notANumber(text, field, reading);
    return reading.value;
}

} // namespace

FieldKind fieldKindOf(const QString &declaredType)
{
    const QString upper = declaredType.toUpper();
    if (upper.isEmpty())
        return FieldKind::Unknown;
    if (declares(upper, "DATE") || declares(upper, "TIME"))
        return FieldKind::Date;
    if (declares(upper, "BOOL") || declares(upper, "BIT") || declares(upper, "YESNO"))
        return FieldKind::Boolean;
    if (declares(upper, "INT") || declares(upper, "COUNTER"))
        return FieldKind::Integer;
    if (declares(upper, "MEMO") || declares(upper, "LONGTEXT") || declares(upper, "CLOB") ||
        declares(upper, "NOTE"))
        return FieldKind::Memo;
    if (declares(upper, "CHAR") || declares(upper, "TEXT") || declares(upper, "STRING"))
        return FieldKind::String;
    if (declares(upper, "BLOB") || declares(upper, "BINARY") || declares(upper, "OLE") ||
        declares(upper, "IMAGE") || declares(upper, "BYTES"))
        return FieldKind::Binary;
    return FieldKind::Float; // REAL, FLOAT, DOUBLE, NUMERIC, DECIMAL, CURRENCY, MONEY …
}

WriteConversion writeConversionOf(const QString &declaredType)
{
    switch (fieldKindOf(declaredType)) {
    case FieldKind::Integer:
    case FieldKind::Boolean:
        return WriteConversion::Integer;
    case FieldKind::Float:
        return WriteConversion::Real;
    case FieldKind::Date:
        return WriteConversion::Date;
    case FieldKind::Binary:
        return WriteConversion::Blob;
    default:
        return WriteConversion::None;
    }
}

bool holdsText(const QString &declaredType)
{
    switch (fieldKindOf(declaredType)) {
    case FieldKind::String:
    case FieldKind::Memo:
    case FieldKind::Unknown:
        return true;
    default:
        return false;
    }
}

int nameFieldIndex(const QList<FieldInfo> &fields)
{
    for (int i = 0; i < fields.size(); ++i) {
        if (holdsText(fields.at(i).declaredType))
            return i;
    }
    return -1;
}

int displayWidthOf(const QString &declaredType, FieldKind kind)
{
    static const QRegularExpression size(QStringLiteral(R"(\(\s*(\d+))"));
    if (const auto m = size.match(declaredType);
        m.hasMatch() && (kind == FieldKind::String || kind == FieldKind::Unknown))
        return qBound(1, m.captured(1).toInt(), 255);
    switch (kind) {
    case FieldKind::String:
    case FieldKind::Unknown:
        return 20;
    case FieldKind::Memo:
        return 30;
    case FieldKind::Boolean:
        return 5;
    default:
        return 10;
    }
}

QVariant convertForColumn(const QVariant &value, const FieldInfo &field)
{
    const bool isText = value.typeId() == QMetaType::QString;
    if (field.requiresNumber &&
        (value.isNull() || (isText && value.toString().trimmed().isEmpty())))
        throw notANumber(QString(), field, {0.0, NumberReading::Problem::Empty, {}});
    if (value.isNull() || !isText)
        return value;
    const QString text = value.toString();
    switch (field.conversion) {
    case WriteConversion::None:
        // Stored as typed: files made elsewhere may rely on the text; it still has to be a
        // number the analyses can read.
        if (field.requiresNumber)
            numberIn(text, field);
        return text;
    case WriteConversion::Integer: {
        bool ok = false;
        const QLocale locale = numberReadingLocale(FormatSettings::instance().regionalLocale());
        const qlonglong number = locale.toLongLong(text.trimmed(), &ok);
        if (!ok)
            throw refused(text, field, QStringLiteral("целым числом"));
        return QVariant(qint64(number));
    }
    case WriteConversion::Real:
        return numberIn(text, field);
    case WriteConversion::Date: {
        if (text.trimmed().isEmpty())
            return QVariant();
        const QDate date = readDate(text);
        if (!date.isValid())
            throw refused(text, field, QStringLiteral("датой вида день.месяц.год"));
        return date.toString(Qt::ISODate);
    }
    case WriteConversion::Blob:
        return text.toUtf8();
    }
    return text;
}

QVariant displayValue(const QVariant &stored, const FieldInfo &field)
{
    if (field.kind == FieldKind::Date && stored.typeId() == QMetaType::QString) {
        const QDate date = QDate::fromString(stored.toString(), Qt::ISODate);
        if (date.isValid())
            return FormatSettings::instance().formatShortDate(date);
    }
    return stored;
}

QString cellText(const QVariant &stored, const FieldInfo &field)
{
    if (stored.typeId() == QMetaType::QByteArray)
        return QStringLiteral("(двоичные данные)");
    return textOf(displayValue(stored, field));
}
