#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

class TReport;
class TReportDBText;

// The texts of a report's data-bound elements for every record, read once when the report is
// previewed: the pages, and a print made from the preview, show the records as they were at
// that moment, whatever happens to the record set while the preview is open.
class ReportData
{
public:
    // Reads every record of the report's record set (all of them, not just those a grid has
    // fetched so far). Throws DbError for a closed record set or a field it lacks.
    static ReportData read(const TReport &report);

    // How often the detail band prints.
    int recordCount() const { return m_recordCount; }
    // Empty for a record the element's record set does not have.
    QString text(const TReportDBText *element, int record) const;

private:
    int m_recordCount = 0;
    QHash<const TReportDBText *, QStringList> m_texts;
};
