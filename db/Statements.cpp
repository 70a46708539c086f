#include "db/Statements.h"

#include "db/SqlDialect.h"

using namespace Qt::StringLiterals;

namespace Statements {

// Each one is made by a single multi-argument arg() call: a "%1" typed into a list is not
// substituted again.

QString allRows(const QString &table)
{
    return u"SELECT * FROM "_s + table;
}

QString valuesOf(const QString &discipline, const QString &criterion)
{
    return u"SELECT * FROM Значения WHERE (Значения.Дисциплина)=(\"%1\") and "
           u"(Значения.Критерий)=(\"%2\")"_s.arg(escapeLiteral(discipline),
                                                 escapeLiteral(criterion));
}

QString selectionValues(const QString &discipline, const QString &criterion, const QString &ictTool)
{
    return u"select Значения.Значение from Значения where Значения.Дисциплина=(\"%1\")"
           u" and Значения.Критерий=(\"%2\") and Значения.Средство_ИКТ=(\"%3\")"_s.arg(
               escapeLiteral(discipline), escapeLiteral(criterion), escapeLiteral(ictTool));
}

QString criterionValues(const QString &criterion)
{
    return u"select Значения.Значение, Значения.Дисциплина from Значения "
           u"where Значения.Критерий=(\"%1\")"_s.arg(escapeLiteral(criterion));
}

} // namespace Statements
