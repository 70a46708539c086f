#include "db/RowStore.h"

#include <algorithm>
#include <limits>

RowStore::RowStore(DbConnection &connection, Source source, SourceShape shape)
    : m_connection(connection), m_source(std::move(source)), m_shape(std::move(shape)),
      m_seenChanges(connection.changeCount())
{}

int RowStore::count()
{
    if (m_count < 0)
        m_count = m_connection.count(m_source);
    return int(std::min<qint64>(m_count, std::numeric_limits<int>::max()));
}

int RowStore::expectedRows(int index)
{
    return std::clamp(count() - index * PageRows, 0, PageRows);
}

RowStore::Page RowStore::readPage(const PageRequest &request, bool backwards)
{
    Page page;
    const int columns = width();
    const auto cursor = m_connection.readPage(m_source, m_shape, request);
    while (cursor->next()) {
        page.keys.push_back(cursor->key());
        for (int column = 0; column < columns; ++column)
            page.cells.push_back(cursor->value(column));
    }
    if (backwards) {
        std::reverse(page.keys.begin(), page.keys.end());
        // Rows, not cells, go back into order.
        std::vector<QVariant> cells(page.cells.size());
        const size_t rows = page.keys.size();
        for (size_t r = 0; r < rows; ++r) {
            std::move(page.cells.begin() + std::ptrdiff_t((rows - 1 - r) * size_t(columns)),
                      page.cells.begin() + std::ptrdiff_t((rows - r) * size_t(columns)),
                      cells.begin() + std::ptrdiff_t(r * size_t(columns)));
        }
        page.cells = std::move(cells);
    }
    return page;
}

// Reads a page where it is cheapest: next to a page at hand by key, the last one from the end,
// the first from the start, any other by its position.
RowStore::Page RowStore::read(int index)
{
    const int wanted = expectedRows(index);
    using From = PageRequest::From;
    if (!m_shape.isEditable())
        return readPage({From::Offset, {}, qint64(index) * PageRows, wanted}, false);
    const auto before = m_pages.find(index - 1);
    if (before != m_pages.end() && before->second.rows() == PageRows)
        return readPage({From::After, before->second.keys.back(), 0, wanted}, false);
    const auto after = m_pages.find(index + 1);
    if (after != m_pages.end() && !after->second.keys.empty())
        return readPage({From::Before, after->second.keys.front(), 0, wanted}, true);
    if (index == 0)
        return readPage({From::Start, {}, 0, wanted}, false);
    if ((index + 1) * qint64(PageRows) >= m_count)
        return readPage({From::End, {}, 0, wanted}, true);
    return readPage({From::Offset, {}, qint64(index) * PageRows, wanted}, false);
}

RowStore::Page *RowStore::pageOf(int row)
{
    if (row < 0 || row >= count())
        return nullptr;
    const int index = row / PageRows;
    auto found = m_pages.find(index);
    if (found == m_pages.end()) {
        // Rows read now must fit the pages kept: a change of another connection since they
        // were read means reading everything anew.
        if (refreshIfChanged() && row >= count())
            return nullptr;
        Page page = read(index);
        if (page.rows() != expectedRows(index)) {
            // The rows changed under the count without the data version saying so (a file
            // replaced, say): everything is read anew.
            clear();
            if (row >= count())
                return nullptr;
            page = read(index);
        }
        page.lastUsed = ++m_useClock;
        m_pages.emplace(index, std::move(page));
        keepWithinBudget();
        found = m_pages.find(index);
    }
    found->second.lastUsed = ++m_useClock;
    return row - index * PageRows < found->second.rows() ? &found->second : nullptr;
}

void RowStore::keepWithinBudget()
{
    while (int(m_pages.size()) > PageBudget) {
        const auto oldest =
            std::min_element(m_pages.begin(), m_pages.end(), [](const auto &a, const auto &b) {
                return a.second.lastUsed < b.second.lastUsed;
            });
        m_pages.erase(oldest);
    }
}

QVariant RowStore::value(int row, int column)
{
    if (column < 0 || column >= width())
        return {};
    const Page *page = pageOf(row);
    if (!page)
        return {};
    const int inPage = row % PageRows;
    return page->cells[size_t(inPage) * size_t(width()) + size_t(column)];
}

RowKey RowStore::key(int row)
{
    const Page *page = pageOf(row);
    return page ? page->keys[size_t(row % PageRows)] : RowKey{};
}

int RowStore::rowOf(RowKey key) const
{
    for (const auto &[index, page] : m_pages) {
        const auto found = std::find(page.keys.cbegin(), page.keys.cend(), key);
        if (found != page.keys.cend())
            return index * PageRows + int(found - page.keys.cbegin());
    }
    return -1;
}

void RowStore::appended(RowKey key, const QVariantList &values)
{
    if (m_count < 0)
        return;
    const int row = int(m_count);
    ++m_count;
    const auto last = m_pages.find(row / PageRows);
    if (last == m_pages.end())
        return;
    if (last->second.rows() != row % PageRows) {
        m_pages.erase(last);
        return;
    }
    last->second.keys.push_back(key);
    for (int column = 0; column < width(); ++column)
        last->second.cells.push_back(values.value(column));
}

void RowStore::removed(int row)
{
    if (m_count > 0)
        --m_count;
    // The pages from the row on have moved up by one; those before stay as they are.
    m_pages.erase(m_pages.lower_bound(row / PageRows), m_pages.end());
}

void RowStore::changed(int row, const StoredRow &stored)
{
    const auto found = m_pages.find(row / PageRows);
    if (found == m_pages.end() || row % PageRows >= found->second.rows())
        return;
    found->second.keys[size_t(row % PageRows)] = stored.key;
    const QVariantList &values = stored.values;
    for (int column = 0; column < width(); ++column)
        found->second.cells[size_t(row % PageRows) * size_t(width()) + size_t(column)] =
            values.value(column);
}

bool RowStore::refreshIfChanged()
{
    const quint64 changes = m_connection.changeCount();
    if (changes == m_seenChanges)
        return false;
    m_seenChanges = changes;
    clear();
    return true;
}

void RowStore::clear()
{
    m_pages.clear();
    m_count = -1;
    ++m_generation;
}
