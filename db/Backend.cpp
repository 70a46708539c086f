#include "db/Backend.h"

#include "db/SqlDialect.h"

#include <stdexcept>

PageStatement pageStatement(const QString &plain, const QString &keyed, const QString &keyAlias,
                            const PageRequest &page, const QString &first, const QString &second,
                            const QVariant &everyRow)
{
    const QVariant limit = page.limit < 0 ? everyRow : QVariant(page.limit);
    if (keyed.isEmpty()) {
        if (page.from != PageRequest::From::Start && page.from != PageRequest::From::Offset)
            throw std::logic_error("readPage: rows of a read-only source have no keys");
        return {QStringLiteral("SELECT * FROM (%1) AS orvinta_rows LIMIT %2 OFFSET %3")
                    .arg(plain, first, second),
                {limit, page.from == PageRequest::From::Offset ? page.offset : 0}};
    }
    const QString rows = QStringLiteral("SELECT * FROM (%1) AS orvinta_rows ").arg(keyed);
    const auto paged = [&](const char *rest, QVariantList parameters) {
        // Not all three are in every text, which arg() would warn of.
        QString sql = rows + QString::fromLatin1(rest);
        sql.replace(QLatin1String("%1"), keyAlias)
            .replace(QLatin1String("%2"), first)
            .replace(QLatin1String("%3"), second);
        return PageStatement{sql, std::move(parameters)};
    };
    switch (page.from) {
    case PageRequest::From::Start:
        return paged("ORDER BY %1 LIMIT %2", {limit});
    case PageRequest::From::After:
        return paged("WHERE %1 > %3 ORDER BY %1 LIMIT %2", {limit, page.key.value});
    case PageRequest::From::Before:
        return paged("WHERE %1 < %3 ORDER BY %1 DESC LIMIT %2", {limit, page.key.value});
    case PageRequest::From::End:
        return paged("ORDER BY %1 DESC LIMIT %2", {limit});
    case PageRequest::From::Offset:
        return paged("ORDER BY %1 LIMIT %2 OFFSET %3", {limit, page.offset});
    case PageRequest::From::Key:
        return paged("WHERE %1 = %2", {page.key.value});
    }
    throw std::logic_error("readPage: no such page");
}

QString Source::displayText() const
{
    return parameters.isEmpty() ? statement : withParametersWritten(statement, parameters);
}
