#include "report/ReportData.h"

#include "core/DbError.h"
#include "db/FieldInfo.h"
#include "db/RecordSet.h"
#include "report/Report.h"
#include "report/ReportElement.h"

ReportData ReportData::read(const TReport &report)
{
    ReportData data;
    // The data-bound texts of each record set, and the columns they print.
    QHash<RecordSet *, QList<std::pair<const TReportDBText *, int>>> columnsOf;
    if (RecordSet *const records = report.dataSet())
        columnsOf[records];
    for (const auto &band : report.bands()) {
        for (const auto &element : band->elements()) {
            const auto *dbText = dynamic_cast<const TReportDBText *>(element.get());
            if (!dbText || !dbText->dataSet())
                continue;
            RecordSet &records = *dbText->dataSet();
            records.requireOpen();
            const int column = records.fieldIndex(dbText->dataField());
            if (column < 0)
                throw DbError(QStringLiteral("Поле «%1» не найдено").arg(dbText->dataField()));
            columnsOf[&records].append({dbText, column});
        }
    }
    // Each record set's rows are read once, in order, each as the texts it prints.
    for (auto it = columnsOf.cbegin(); it != columnsOf.cend(); ++it) {
        RecordSet &records = *it.key();
        records.requireOpen();
        int rows = 0;
        records.forEachRow([&](const RowCursor &row) {
            ++rows;
            for (const auto &[element, column] : it.value())
                data.m_texts[element].append(
                    cellText(row.value(column), records.fields().at(column)));
        });
        if (&records == report.dataSet())
            data.m_recordCount = rows;
    }
    return data;
}

QString ReportData::text(const TReportDBText *element, int record) const
{
    const auto texts = m_texts.constFind(element);
    if (texts == m_texts.constEnd() || record < 0 || record >= texts->size())
        return {};
    return texts->at(record);
}
