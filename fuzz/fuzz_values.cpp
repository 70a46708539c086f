// Reading what the user types: a number in the user's format is finite and reads back the
// same; the other separator's hint reads as a number; converting for a column of any kind
// either gives a value or refuses with a DbError.
#include "core/DbError.h"
#include "core/FormatSettings.h"
#include "core/ValueConversion.h"
#include "db/FieldInfo.h"

#include <QLocale>
#include <QString>
#include <cmath>
#include <cstdlib>

namespace {

void checkNumber(const QString &text, const QLocale &locale)
{
    const NumberReading reading = readNumber(text, locale);
    if (reading.ok() && !std::isfinite(reading.value))
        std::abort();
    if (reading.problem == NumberReading::Problem::OtherSeparator &&
        !readNumber(reading.corrected, locale).ok())
        std::abort();
    if (reading.problem == NumberReading::Problem::Empty && !text.trimmed().isEmpty())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    for (const QLocale &locale :
         {russian, QLocale::c(), QLocale(QLocale::German, QLocale::Germany)})
        checkNumber(text, locale);

    FormatSettings::instance().setRegionalLocale(russian);
    for (const char *type : {"TEXT", "REAL", "INTEGER", "DATE", "BLOB", ""}) {
        for (const bool number : {false, true}) {
            FieldInfo field;
            field.name = QStringLiteral("Значение");
            field.declaredType = QString::fromLatin1(type);
            field.kind = fieldKindOf(field.declaredType);
            field.conversion = writeConversionOf(field.declaredType);
            field.requiresNumber = number;
            try {
                const QVariant value = convertForColumn(text, field);
                if (number && value.typeId() == QMetaType::Double &&
                    !std::isfinite(value.toDouble()))
                    std::abort();
            } catch (const DbError &) {
            }
        }
    }
    return 0;
}
