#include "db/SqlDialect.h"

#include "core/DbError.h"

#include <QStringList>

namespace {

// Reads a literal or quoted name that opens at `from` with `quote` and closes with `closing`,
// where a doubled closing character stands for itself. Returns the inner text and moves
// `from` past the closing character.
QString readQuoted(const QString &text, qsizetype &from, QChar closing, bool doubledEscapes)
{
    QString inner;
    qsizetype i = from + 1;
    for (;;) {
        if (i >= text.size())
            throw DbError(QStringLiteral("Незакрытая строка в запросе: %1").arg(text));
        const QChar c = text.at(i);
        if (c == closing) {
            if (doubledEscapes && i + 1 < text.size() && text.at(i + 1) == closing) {
                inner += closing;
                i += 2;
                continue;
            }
            break;
        }
        inner += c;
        ++i;
    }
    from = i + 1;
    return inner;
}

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

QString singleQuoted(QString text)
{
    text.replace(u'\'', QStringLiteral("''"));
    return u'\'' + text + u'\'';
}

QString doubleQuoted(QString text)
{
    text.replace(u'"', QStringLiteral("\"\""));
    return u'"' + text + u'"';
}

// A token of a translated statement at parenthesis depth 0: a word, a quoted name, or a
// punctuation character. Literals and nested parts are skipped.
struct TopToken
{
    QString text;
    bool quotedName = false;
    qsizetype end = 0;
};

QList<TopToken> topLevelTokens(const QString &sql)
{
    QList<TopToken> tokens;
    int depth = 0;
    for (qsizetype i = 0; i < sql.size();) {
        const QChar c = sql.at(i);
        if (c.isSpace()) {
            ++i;
        } else if (c == u'\'') {
            readQuoted(sql, i, u'\'', true);
            if (depth == 0)
                tokens.append({QStringLiteral("'"), false, i});
        } else if (c == u'"') {
            const QString name = readQuoted(sql, i, u'"', true);
            if (depth == 0)
                tokens.append({name, true, i});
        } else if (c == u'(') {
            ++depth;
            ++i;
        } else if (c == u')') {
            --depth;
            ++i;
        } else if (isWordChar(c)) {
            const qsizetype start = i;
            while (i < sql.size() && isWordChar(sql.at(i)))
                ++i;
            if (depth == 0)
                tokens.append({sql.mid(start, i - start), false, i});
        } else {
            ++i;
            if (depth == 0)
                tokens.append({QString(c), false, i});
        }
    }
    return tokens;
}

bool isKeyword(const TopToken &token, const char *keyword)
{
    return !token.quotedName &&
           token.text.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
}

} // namespace

QString quotedName(const QString &name)
{
    QString escaped = name;
    escaped.replace(u'"', QStringLiteral("\"\""));
    return u'"' + escaped + u'"';
}

QString escapeLiteral(const QString &text)
{
    QString escaped = text;
    escaped.replace(u'"', QStringLiteral("\"\""));
    return escaped;
}

QString translateStatement(const QString &statement)
{
    QString sql;
    sql.reserve(statement.size() + 16);
    int parameter = 0;
    for (qsizetype i = 0; i < statement.size();) {
        const QChar c = statement.at(i);
        if (c == u'?') {
            sql += QStringLiteral("?%1").arg(++parameter);
            ++i;
        } else if (c == u'"') {
            sql += singleQuoted(readQuoted(statement, i, u'"', true));
        } else if (c == u'\'') {
            sql += singleQuoted(readQuoted(statement, i, u'\'', true));
        } else if (c == u'[') {
            sql += doubleQuoted(readQuoted(statement, i, u']', false));
        } else if (c == u'`') {
            sql += doubleQuoted(readQuoted(statement, i, u'`', false));
        } else {
            sql += c;
            ++i;
        }
    }
    return sql;
}

QString translateForServer(const QString &translated)
{
    QString sql;
    sql.reserve(translated.size() + 16);
    for (qsizetype i = 0; i < translated.size();) {
        const QChar c = translated.at(i);
        if (c == u'\'' || c == u'"') {
            const qsizetype start = i;
            readQuoted(translated, i, c, true);
            sql += QStringView(translated).mid(start, i - start);
        } else if (c == u'?') {
            sql += u'$';
            ++i;
        } else if (isWordChar(c)) {
            const qsizetype start = i;
            bool beyondAscii = false;
            for (; i < translated.size() && isWordChar(translated.at(i)); ++i)
                beyondAscii = beyondAscii || translated.at(i).unicode() > 127;
            const QString word = translated.mid(start, i - start);
            sql += beyondAscii ? quotedName(word) : word;
        } else {
            sql += c;
            ++i;
        }
    }
    return sql;
}

SingleTableSelect analyseSelect(const QString &translated)
{
    SingleTableSelect result;
    QList<TopToken> tokens;
    try {
        tokens = topLevelTokens(translated);
    } catch (const DbError &) {
        return result;
    }
    while (!tokens.isEmpty() && tokens.constLast().text == u";")
        tokens.removeLast();
    if (tokens.size() < 4 || !isKeyword(tokens.at(0), "SELECT"))
        return result;
    if (isKeyword(tokens.at(1), "DISTINCT") || isKeyword(tokens.at(1), "ALL"))
        return result;

    qsizetype from = -1;
    for (qsizetype i = 1; i < tokens.size(); ++i) {
        if (isKeyword(tokens.at(i), "FROM")) {
            from = i;
            break;
        }
    }
    if (from < 0 || from + 1 >= tokens.size())
        return result;
    const TopToken &table = tokens.at(from + 1);
    if (!table.quotedName && (table.text.isEmpty() || !isWordChar(table.text.front())))
        return result;
    result.table = table.text;
    // Just after the SELECT keyword, and where FROM begins.
    result.selectListStart = tokens.at(0).end;
    result.selectListEnd = tokens.at(from).end - tokens.at(from).text.size();

    const qsizetype rest = from + 2;
    if (rest < tokens.size()) {
        if (!isKeyword(tokens.at(rest), "WHERE"))
            return result;
        // Rows of a join or an aggregate belong to no one row of the table; an order or a
        // limit of the statement's own would be lost to a read by key.
        static const char *const joiningWords[] = {"JOIN",      "GROUP",  "UNION", "HAVING",
                                                   "INTERSECT", "EXCEPT", "LIMIT", "WINDOW",
                                                   "ORDER",     "OFFSET"};
        for (qsizetype i = rest + 1; i < tokens.size(); ++i) {
            for (const char *word : joiningWords) {
                if (isKeyword(tokens.at(i), word))
                    return result;
            }
        }
    }

    result.matches = true;
    result.wholeTable = rest >= tokens.size();
    return result;
}

QString withParametersWritten(const QString &statement, const QVariantList &parameters)
{
    QString text;
    text.reserve(statement.size() + 32);
    qsizetype next = 0;
    for (qsizetype i = 0; i < statement.size();) {
        const QChar c = statement.at(i);
        if (c == u'"' || c == u'\'' || c == u'[' || c == u'`') {
            const QChar closing = c == u'[' ? QChar(u']') : c;
            const qsizetype start = i;
            readQuoted(statement, i, closing, c == u'"' || c == u'\'');
            text += QStringView(statement).mid(start, i - start);
        } else if (c == u'?') {
            text += u'"' + escapeLiteral(parameters.value(next++).toString()) + u'"';
            ++i;
        } else {
            text += c;
            ++i;
        }
    }
    return text;
}
