#include "report/ReportData.h"

#include "core/DbError.h"
#include "db/FieldInfo.h"
#include "db/RecordSet.h"
#include "report/Report.h"
#include "report/ReportElement.h"

namespace {

void fetchAll(RecordSet &records)
{
    records.requireOpen();
    constexpr int Chunk = 4096;
    while (!records.allFetched() && records.fetch(Chunk) > 0) {
    }
}

QStringList columnTexts(RecordSet &records, const QString &fieldName)
{
    const int column = records.fieldIndex(fieldName);
    if (column < 0)
        throw DbError(QStringLiteral("Поле «%1» не найдено").arg(fieldName));
    const FieldInfo &field = records.fields().at(column);
    QStringList texts;
    texts.reserve(records.fetchedCount());
    for (int row = 0; row < records.fetchedCount(); ++row)
        texts.append(cellText(records.valueAt(row, column), field));
    return texts;
}

} // namespace

ReportData ReportData::read(const TReport &report)
{
    ReportData data;
    if (RecordSet *const records = report.dataSet()) {
        fetchAll(*records);
        data.m_recordCount = records->fetchedCount();
    }
    for (const auto &band : report.bands()) {
        for (const auto &element : band->elements()) {
            const auto *dbText = dynamic_cast<const TReportDBText *>(element.get());
            if (!dbText || !dbText->dataSet())
                continue;
            fetchAll(*dbText->dataSet());
            data.m_texts.insert(dbText, columnTexts(*dbText->dataSet(), dbText->dataField()));
        }
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
