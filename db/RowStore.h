#pragma once

#include "db/Backend.h"

#include <QVariant>
#include <map>
#include <vector>

// The rows of one source as a view asks for them, at any size: the row count first, then pages
// of rows read where they are asked for (after or before a page at hand by key, the last page
// from the end, elsewhere by position), and pages far from what was asked lately dropped, so
// that memory stays bounded however far one scrolls. The writes of the record set that owns
// the store are taken in without reading again; a change by another connection is noticed at
// the next page read, and then the count and every page are read anew.
class RowStore
{
public:
    static constexpr int PageRows = 256;
    // Pages kept at most: 16,384 rows.
    static constexpr int PageBudget = 64;

    RowStore(DbConnection &connection, Source source, SourceShape shape);

    // The exact number of rows; read from the database the first time it is asked.
    int count();
    // The value of a row's column, null for a row out of range.
    QVariant value(int row, int column);
    // The key of a row of an editable source.
    RowKey key(int row);
    // Where a key stands among the rows of the pages kept; -1 when no kept page holds it.
    int rowOf(RowKey key) const;
    int pagesKept() const { return int(m_pages.size()); }

    // Takes in what the owner wrote or read anew: a new last row, a row deleted, a row as the
    // table holds it now.
    void appended(RowKey key, const QVariantList &values);
    void removed(int row);
    void changed(int row, const StoredRow &stored);

    // Forgets the count and the pages when another connection changed the data since they
    // were read; true when it did.
    bool refreshIfChanged();
    // Forgets the count and every page.
    void clear();
    // Grows each time the count and the pages were forgotten: what a view showed may differ.
    quint64 generation() const { return m_generation; }

private:
    struct Page
    {
        std::vector<RowKey> keys;
        std::vector<QVariant> cells; // row r of the page: r * width … r * width + width - 1
        quint64 lastUsed = 0;
        int rows() const { return int(keys.size()); }
    };

    int width() const { return int(m_shape.fields.size()); }
    int expectedRows(int index);
    Page *pageOf(int row);
    Page read(int index);
    Page readPage(const PageRequest &request, bool backwards);
    void keepWithinBudget();

    DbConnection &m_connection;
    Source m_source;
    SourceShape m_shape;
    std::map<int, Page> m_pages; // by page index: rows index * PageRows … on
    qint64 m_count = -1;
    quint64 m_seenChanges = 0;
    quint64 m_useClock = 0;
    quint64 m_generation = 0;
};
