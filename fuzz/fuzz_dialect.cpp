// The statement dialect: any text is translated or refused with a DbError, and a user text
// spliced between (" and ") after escapeLiteral() always gives a statement that translates,
// with the text as one SQLite literal.
#include "core/DbError.h"
#include "db/SqlDialect.h"

#include <QString>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        analyseSelect(translateStatement(text));
    } catch (const DbError &) {
    }

    const QString statement =
        QStringLiteral("SELECT * FROM Значения WHERE (Значения.Дисциплина)=(\"") +
        escapeLiteral(text) + QStringLiteral("\")");
    QString translated;
    try {
        translated = translateStatement(statement);
    } catch (const DbError &) {
        std::abort(); // an escaped text must never break the statement
    }
    QString literal = text;
    literal.replace(u'\'', QStringLiteral("''"));
    if (!translated.contains(u'\'' + literal + u'\''))
        std::abort();
    if (!analyseSelect(translated).matches)
        std::abort();
    return 0;
}
