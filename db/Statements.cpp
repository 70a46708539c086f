#include "db/Statements.h"

using namespace Qt::StringLiterals;

namespace Statements {

Source allRows(const QString &table)
{
    return {u"SELECT * FROM "_s + table, {}};
}

Source valuesOf(const QString &discipline, const QString &criterion)
{
    return {u"SELECT * FROM Значения WHERE (Значения.Дисциплина)=(?) and "
            u"(Значения.Критерий)=(?)"_s,
            {discipline, criterion}};
}

Source selectionValues(const QString &discipline, const QString &criterion, const QString &ictTool)
{
    return {u"select Значения.Значение from Значения where Значения.Дисциплина=(?)"
            u" and Значения.Критерий=(?) and Значения.Средство_ИКТ=(?)"_s,
            {discipline, criterion, ictTool}};
}

Source criterionValues(const QString &criterion)
{
    return {u"select Значения.Значение, Значения.Дисциплина from Значения "
            u"where Значения.Критерий=(?)"_s,
            {criterion}};
}

} // namespace Statements
