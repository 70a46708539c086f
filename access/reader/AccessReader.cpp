#include "access/reader/AccessReader.h"

#include "access/reader/AccessValue.h"
#include "core/DbError.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

// The libmdb 1.0 header wraps its glib include in extern "C"; glib must come first.
#include <glib.h>
#include <mdbtools.h>

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <optional>
#include <vector>

namespace {

// Row offset flags of a data page.
constexpr int LookupRowFlag = 0x4000;
constexpr int RowOffsetMask = 0x1fff;

// Flags of a long value (memo, OLE) header.
constexpr quint32 InlineValue = 0x80000000;
constexpr quint32 SinglePageValue = 0x40000000;
constexpr quint32 LengthMask = 0x3fffffff;
constexpr int LongValueHeaderSize = 12;

// Further type codes of ACE files that libmdb 1.0 does not name.
constexpr int BigIntType = 0x13;

DbError damaged(const QString &path, const QString &what)
{
    return DbError(QStringLiteral("Файл Access «%1» повреждён: %2").arg(path, what));
}

QString nativeTypeOf(int type)
{
    switch (type) {
    case MDB_BOOL:
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_COMPLEX:
    case BigIntType:
        return QStringLiteral("INTEGER");
    case MDB_MONEY:
    case MDB_FLOAT:
    case MDB_DOUBLE:
        return QStringLiteral("REAL");
    case MDB_DATETIME:
        return QStringLiteral("DATETIME");
    case MDB_TEXT:
    case MDB_MEMO:
    case MDB_REPID:
    case MDB_NUMERIC: // exact decimal text: a REAL would round 28 digits to 15
        return QStringLiteral("TEXT");
    default:
        return QStringLiteral("BLOB");
    }
}

// "1251", "CP1251" and "windows-1251" all name code page 1251 for iconv.
QByteArray iconvName(const QString &codePage)
{
    QString name = codePage.trimmed();
    bool numeric = false;
    name.toInt(&numeric);
    if (numeric)
        name.prepend(QStringLiteral("CP"));
    return name.toLatin1();
}

// Bytes in a Jet 3 code page to UTF-16, through iconv.
class CodePageDecoder
{
public:
    explicit CodePageDecoder(const QByteArray &name)
        : m_handle(iconv_open("UTF-16LE", name.constData()))
    {}
    ~CodePageDecoder()
    {
        if (isValid())
            iconv_close(m_handle);
    }
    CodePageDecoder(const CodePageDecoder &) = delete;
    CodePageDecoder &operator=(const CodePageDecoder &) = delete;

    bool isValid() const { return m_handle != reinterpret_cast<iconv_t>(-1); }

    // A byte that the code page leaves undefined becomes U+FFFD.
    QString decode(QByteArrayView bytes)
    {
        QString text;
        text.reserve(bytes.size());
        char *in = const_cast<char *>(bytes.data());
        size_t inLeft = size_t(bytes.size());
        std::vector<char> buffer(4 * bytes.size() + 16);
        iconv(m_handle, nullptr, nullptr, nullptr, nullptr);
        while (inLeft > 0) {
            char *out = buffer.data();
            size_t outLeft = buffer.size();
            const size_t rc = iconv(m_handle, &in, &inLeft, &out, &outLeft);
            text.append(QStringView(reinterpret_cast<const char16_t *>(buffer.data()),
                                    qsizetype(out - buffer.data()) / 2));
            if (rc == size_t(-1) && errno != E2BIG) {
                text.append(QChar::ReplacementCharacter);
                ++in;
                --inLeft;
            }
        }
        return text;
    }

private:
    iconv_t m_handle = reinterpret_cast<iconv_t>(-1);
};

} // namespace

struct AccessDatabase::Handle
{
    QString path;
    AccessFormat format = AccessFormat::None;
    MdbHandle *mdb = nullptr;
    QByteArray codePage;
    std::optional<CodePageDecoder> jet3Text;
    // Jet 3 text bytes as read, for a look at their code page, when the file's own 1252
    // was taken.
    bool sampling = false;
    QByteArray sample;
    QList<MdbCatalogEntry *> tables;

    ~Handle()
    {
        if (mdb)
            mdb_close(mdb);
    }

    QString text(QByteArrayView bytes)
    {
        constexpr qsizetype SampleLimit = 256 * 1024;
        if (!jet3Text)
            return AccessValue::jet4Text(bytes);
        if (sampling && sample.size() < SampleLimit)
            sample.append(bytes.first(std::min(bytes.size(), SampleLimit - sample.size())))
                .append(' ');
        return jet3Text->decode(bytes);
    }
};

struct AccessTable::Cursor
{
    AccessDatabase::Handle *db = nullptr;
    MdbTableDef *table = nullptr;
    QString name;
    QList<AccessColumn> columns;
    QList<int> libmdbIndex; // position of each column in libmdb's column array
    std::vector<MdbField> fields;
    qint64 stored = 0;
    qint64 read = 0;

    ~Cursor()
    {
        if (table)
            mdb_free_tabledef(table);
    }

    MdbHandle *mdb() const { return db->mdb; }
    qsizetype pageSize() const { return qsizetype(mdb()->fmt->pg_size); }

    DbError damage(const QString &what) const
    {
        return damaged(db->path,
                       QStringLiteral("таблица «%1», строка %2: %3").arg(name).arg(read).arg(what));
    }

    // Start and size of the current row in the page buffer, and whether the answer is
    // trustworthy. libmdb leaves the row's own page there, or the page it overflowed to.
    bool locateRow(int &start, int &size) const;
    QVariant value(int column) const;
    QByteArray longValue(QByteArrayView header) const;
};

bool AccessTable::Cursor::locateRow(int &start, int &size) const
{
    MdbHandle *handle = mdb();
    const int rowCountOffset = handle->fmt->row_count_offset;
    const int rows = mdb_get_int16(handle->pg_buf, rowCountOffset);
    const auto bounds = [&](int row, int &rowStart, int &rowSize) {
        if (row < 0 || row >= rows || rowCountOffset + 2 + 2 * row + 2 > pageSize())
            return false;
        const int entry = mdb_get_int16(handle->pg_buf, rowCountOffset + 2 + 2 * row);
        if (entry & LookupRowFlag)
            return false;
        const int next =
            row == 0 ? int(pageSize())
                     : mdb_get_int16(handle->pg_buf, rowCountOffset + 2 * row) & RowOffsetMask;
        rowStart = entry & RowOffsetMask;
        rowSize = next - rowStart;
        return rowSize > 0 && rowStart + rowSize <= pageSize();
    };
    if (handle->cur_pg == table->cur_phys_pg && bounds(int(table->cur_row) - 1, start, size))
        return true;
    // The row overflowed to another page: find the row there that holds its values.
    int position = 0;
    for (guint i = 0; i < table->num_cols; ++i) {
        const auto *column = static_cast<const MdbColumn *>(table->columns->pdata[i]);
        position = std::max(position, column->cur_value_start);
    }
    if (position <= 0)
        return false;
    for (int row = 0; row < rows; ++row) {
        int rowStart = 0;
        int rowSize = 0;
        if (bounds(row, rowStart, rowSize) && position >= rowStart &&
            position < rowStart + rowSize) {
            start = rowStart;
            size = rowSize;
            return true;
        }
    }
    return false;
}

QByteArray AccessTable::Cursor::longValue(QByteArrayView header) const
{
    if (header.size() < LongValueHeaderSize)
        throw damage(QStringLiteral("заголовок длинного значения обрезан"));
    const auto *h = reinterpret_cast<const uchar *>(header.data());
    const quint32 word = qFromLittleEndian<quint32>(h);
    const qsizetype length = qsizetype(word & LengthMask);
    if (word & InlineValue) {
        if (length > header.size() - LongValueHeaderSize)
            throw damage(QStringLiteral("длинное значение выходит за строку"));
        return header.sliced(LongValueHeaderSize, length).toByteArray();
    }
    quint32 pageRow = qFromLittleEndian<quint32>(h + 4);
    QByteArray value;
    value.reserve(std::min<qsizetype>(length, 1 << 20));
    const bool singlePage = word & SinglePageValue;
    // Every page of a chain gives at least one byte, so a chain longer than that loops.
    for (qsizetype steps = 0; value.size() < length; ++steps) {
        if (pageRow == 0 || steps > length)
            throw damage(QStringLiteral("длинное значение обрывается"));
        void *buffer = nullptr;
        int offset = 0;
        size_t size = 0;
        if (mdb_find_pg_row(mdb(), pageRow, &buffer, &offset, &size) != 0 || offset < 0 ||
            qsizetype(offset) + qsizetype(size) > pageSize())
            throw damage(QStringLiteral("страница длинного значения не читается"));
        const auto *data = static_cast<const uchar *>(buffer) + offset;
        if (singlePage) {
            if (qsizetype(size) < length)
                throw damage(QStringLiteral("длинное значение короче своей длины"));
            value.append(reinterpret_cast<const char *>(data), length);
            break;
        }
        if (size < 4)
            throw damage(QStringLiteral("звено длинного значения обрезано"));
        pageRow = qFromLittleEndian<quint32>(data);
        const qsizetype take = std::min<qsizetype>(qsizetype(size) - 4, length - value.size());
        if (take <= 0)
            throw damage(QStringLiteral("пустое звено длинного значения"));
        value.append(reinterpret_cast<const char *>(data + 4), take);
    }
    return value;
}

QVariant AccessTable::Cursor::value(int column) const
{
    const AccessColumn &info = columns.at(column);
    const MdbField &field = fields[size_t(libmdbIndex.at(column))];
    if (info.type == MDB_BOOL) // the value is the null bit itself
        return qint64(field.is_null ? 0 : 1);
    if (field.is_null)
        return {};
    if (field.start < 0 || field.siz < 0 || qsizetype(field.start) + field.siz > pageSize())
        throw damage(QStringLiteral("значение столбца «%1» выходит за страницу").arg(info.name));
    const QByteArrayView bytes(reinterpret_cast<const char *>(mdb()->pg_buf) + field.start,
                               field.siz);
    const auto *b = reinterpret_cast<const uchar *>(bytes.data());
    const auto need = [&](qsizetype size) {
        if (bytes.size() < size)
            throw damage(QStringLiteral("значение столбца «%1» короче своего типа").arg(info.name));
    };
    switch (info.type) {
    case MDB_BYTE:
        need(1);
        return qint64(b[0]);
    case MDB_INT:
        need(2);
        return qint64(qFromLittleEndian<qint16>(b));
    case MDB_LONGINT:
    case MDB_COMPLEX:
        need(4);
        return qint64(qFromLittleEndian<qint32>(b));
    case BigIntType:
        need(8);
        return qint64(qFromLittleEndian<qint64>(b));
    case MDB_MONEY:
        need(8);
        return AccessValue::currencyValue(qFromLittleEndian<qint64>(b));
    case MDB_FLOAT:
        need(4);
        return AccessValue::singleValue(qFromLittleEndian<float>(b));
    case MDB_DOUBLE:
        need(8);
        return qFromLittleEndian<double>(b);
    case MDB_DATETIME: {
        need(8);
        const double days = qFromLittleEndian<double>(b);
        const QString text = AccessValue::dateText(days);
        // A number that is no date is kept as the number rather than lost.
        return text.isNull() ? QVariant(days) : QVariant(text);
    }
    case MDB_TEXT:
        return db->text(bytes);
    case MDB_MEMO:
        return db->text(longValue(bytes));
    case MDB_OLE:
        return longValue(bytes);
    case MDB_REPID:
        need(16);
        return AccessValue::guidText(bytes.first(16));
    case MDB_NUMERIC: {
        need(17);
        const QString text = AccessValue::decimalText(bytes.first(17), info.scale);
        if (text.isNull())
            throw damage(QStringLiteral("число столбца «%1» не читается").arg(info.name));
        return text;
    }
    default:
        return bytes.toByteArray();
    }
}

AccessDatabase::AccessDatabase(const QString &path, const QString &codePage)
    : d(std::make_unique<Handle>())
{
    d->path = path;
    const QFileInfo file(path);
    if (!file.isFile())
        throw DbError(QStringLiteral("Файл Access «%1» не найден").arg(path));
    d->format = accessFormatOf(path);
    if (d->format == AccessFormat::None)
        throw DbError(QStringLiteral("Файл «%1» не является файлом Access").arg(path));
    const qint64 pageSize = accessPageSize(d->format);
    if (file.size() % pageSize != 0 || file.size() < 2 * pageSize) {
        throw damaged(path,
                      QStringLiteral("размер %1 байт не кратен странице в %2 байт: файл обрезан")
                          .arg(file.size())
                          .arg(pageSize));
    }

    d->mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    if (!d->mdb)
        throw damaged(path, QStringLiteral("библиотека чтения Access не смогла его открыть"));
    if (d->mdb->fmt->pg_size != pageSize)
        throw damaged(path, QStringLiteral("размер страницы не соответствует формату"));

    // Jet 3 keeps texts (and the names of tables and columns) in one code page: the one
    // the caller names, or the file's own. libmdb takes it from the environment.
    const int filePage = d->mdb->f->code_page;
    d->codePage =
        iconvName(codePage.isEmpty() ? QString::number(filePage > 0 ? filePage : 1252) : codePage);
    if (d->format == AccessFormat::Jet3) {
        d->sampling = codePage.isEmpty() && (filePage <= 0 || filePage == 1252);
        d->jet3Text.emplace(d->codePage);
        if (!d->jet3Text->isValid())
            throw DbError(QStringLiteral("Кодовая страница «%1» не поддерживается")
                              .arg(QString::fromLatin1(d->codePage)));
        qputenv("MDB_JET3_CHARSET", d->codePage);
        mdb_iconv_close(d->mdb);
        mdb_iconv_init(d->mdb);
    }

    GPtrArray *catalog = mdb_read_catalog(d->mdb, MDB_TABLE);
    if (!catalog)
        throw damaged(path, QStringLiteral("список таблиц не читается"));
    for (guint i = 0; i < catalog->len; ++i) {
        auto *entry = static_cast<MdbCatalogEntry *>(catalog->pdata[i]);
        if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry))
            d->tables.append(entry);
    }
}

AccessDatabase::~AccessDatabase() = default;

QString AccessDatabase::path() const
{
    return d->path;
}

AccessFormat AccessDatabase::format() const
{
    return d->format;
}

QString AccessDatabase::codePage() const
{
    return QString::fromLatin1(d->codePage);
}

QString AccessDatabase::likelierCodePage() const
{
    return d->sampling ? AccessValue::likelierCodePage(d->sample) : QString();
}

QStringList AccessDatabase::tableNames() const
{
    QStringList names;
    for (const MdbCatalogEntry *entry : d->tables)
        names.append(QString::fromUtf8(entry->object_name));
    return names;
}

std::unique_ptr<AccessTable> AccessDatabase::openTable(const QString &name)
{
    MdbCatalogEntry *entry = nullptr;
    for (MdbCatalogEntry *candidate : d->tables) {
        if (QString::fromUtf8(candidate->object_name) == name)
            entry = candidate;
    }
    if (!entry)
        throw DbError(QStringLiteral("В файле Access «%1» нет таблицы «%2»").arg(d->path, name));

    auto cursor = std::make_unique<AccessTable::Cursor>();
    cursor->db = d.get();
    cursor->name = name;
    cursor->table = mdb_read_table(entry);
    if (!cursor->table || !mdb_read_columns(cursor->table) ||
        cursor->table->columns->len != cursor->table->num_cols || cursor->table->num_cols == 0)
        throw damaged(d->path, QStringLiteral("описание таблицы «%1» не читается").arg(name));
    MdbTableDef *table = cursor->table;
    cursor->stored = table->num_rows;

    // Columns in their order in the table, which libmdb keeps as col_num.
    QList<int> order;
    for (guint i = 0; i < table->num_cols; ++i)
        order.append(int(i));
    const auto columnAt = [table](int i) {
        return static_cast<const MdbColumn *>(table->columns->pdata[i]);
    };
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return columnAt(a)->col_num < columnAt(b)->col_num; });
    for (const int i : order) {
        const MdbColumn *column = columnAt(i);
        AccessColumn info;
        info.name = QString::fromUtf8(column->name);
        info.type = column->col_type;
        info.nativeType = nativeTypeOf(column->col_type);
        // libmdb 1.0 reads a Decimal column's precision and scale from each other's place
        // in the definition: its col_prec holds the scale.
        info.scale = column->col_prec;
        cursor->columns.append(info);
        cursor->libmdbIndex.append(i);
    }
    cursor->fields.resize(std::max<size_t>(table->num_cols, MDB_MAX_COLS) + 1);
    mdb_rewind_table(table);
    return std::unique_ptr<AccessTable>(new AccessTable(std::move(cursor)));
}

AccessTable::AccessTable(std::unique_ptr<Cursor> cursor) : d(std::move(cursor))
{}

AccessTable::~AccessTable() = default;

QString AccessTable::name() const
{
    return d->name;
}

const QList<AccessColumn> &AccessTable::columns() const
{
    return d->columns;
}

qint64 AccessTable::storedRowCount() const
{
    return d->stored;
}

qint64 AccessTable::rowsRead() const
{
    return d->read;
}

bool AccessTable::readRow(QVariantList &values)
{
    // Every row that the table's data pages hold is read. The count in the table's
    // definition is only a hint: Access does not always keep it up to date.
    if (!mdb_fetch_row(d->table))
        return false;
    ++d->read;
    int start = 0;
    int size = 0;
    if (!d->locateRow(start, size))
        throw d->damage(QStringLiteral("строка не найдена на своей странице"));
    // libmdb tells NULL from an empty text only in the row's null mask, which it gives
    // back when it splits the row into its fields.
    if (mdb_crack_row(d->table, start, size_t(size), d->fields.data()) <= 0)
        throw d->damage(QStringLiteral("строка не разбирается на поля"));
    values.clear();
    values.reserve(d->columns.size());
    for (int i = 0; i < d->columns.size(); ++i)
        values.append(d->value(i));
    return true;
}
