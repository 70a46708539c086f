#include "tools/SampleData.h"

#include "db/Sqlite.h"

#include <QDate>
#include <QRandomGenerator>
#include <QStringList>

namespace {

struct Criterion
{
    const char16_t *name;
    double low;
    double high;
    int decimals;
};

const char16_t *const Disciplines[] = {u"Математика",   u"Физика",         u"Информатика",
                                       u"Химия",        u"Биология",       u"История",
                                       u"Русский язык", u"Английский язык"};

const Criterion Criteria[] = {
    {u"Успеваемость, %", 55, 98, 1},          {u"Средний балл", 3.0, 4.9, 2},
    {u"Посещаемость, %", 70, 100, 1},         {u"Время на тему, мин", 20, 90, 0},
    {u"Интерес к предмету, баллы", 1, 10, 0}, {u"Выполнено заданий", 5, 40, 0},
};

const char16_t *const IctTools[] = {u"Интерактивная доска", u"Мультимедийный проектор",
                                    u"Электронный учебник", u"Компьютерный класс",
                                    u"Система тестирования"};

void insertNames(SqliteDatabase &db, const QString &table, const QStringList &names)
{
    SqliteStatement insert(db, QStringLiteral("INSERT INTO %1 (Название) VALUES (?1)").arg(table));
    for (const QString &name : names) {
        insert.reset();
        insert.bind(1, name);
        insert.step();
    }
}

template <typename Range> QStringList namesOf(const Range &range)
{
    QStringList names;
    for (const char16_t *name : range)
        names.append(QString::fromUtf16(name));
    return names;
}

} // namespace

void fillSampleData(SqliteDatabase &db)
{
    QRandomGenerator random(20240901);
    db.exec(QStringLiteral("BEGIN"));
    insertNames(db, QStringLiteral("Дисциплины"), namesOf(Disciplines));
    QStringList criteria;
    for (const Criterion &criterion : Criteria)
        criteria.append(QString::fromUtf16(criterion.name));
    insertNames(db, QStringLiteral("Критерии"), criteria);
    insertNames(db, QStringLiteral("Средство_ИКТ"), namesOf(IctTools));

    SqliteStatement insert(db, QStringLiteral("INSERT INTO Значения VALUES (?1, ?2, ?3, ?4, ?5)"));
    // Each discipline works with two or three tools and is measured on every criterion about
    // once a month over two school years; results drift upwards a little with time.
    const QDate start(2024, 9, 2);
    const int days = int(start.daysTo(QDate(2026, 5, 29)));
    for (int d = 0; d < int(std::size(Disciplines)); ++d) {
        const int toolCount = 2 + d % 2;
        for (int t = 0; t < toolCount; ++t) {
            const QString tool = QString::fromUtf16(IctTools[(d + 2 * t) % std::size(IctTools)]);
            for (const Criterion &criterion : Criteria) {
                const int entries = 5 + int(random.bounded(4));
                for (int e = 0; e < entries; ++e) {
                    const int offset = (days * e) / entries + int(random.bounded(20));
                    const QDate day = start.addDays(offset);
                    const double progress = double(e) / entries;
                    const double span = criterion.high - criterion.low;
                    double value = criterion.low + span * (0.35 + 0.35 * progress) +
                                   span * 0.3 * (random.generateDouble() - 0.5);
                    value = std::clamp(value, criterion.low, criterion.high);
                    const double scale = std::pow(10.0, criterion.decimals);
                    value = std::round(value * scale) / scale;
                    insert.reset();
                    insert.bind(1, QString::fromUtf16(Disciplines[d]));
                    insert.bind(2, QString::fromUtf16(criterion.name));
                    insert.bind(3, tool);
                    insert.bind(4, value);
                    insert.bind(5, day.toString(QStringLiteral("dd.MM.yyyy")));
                    insert.step();
                }
            }
        }
    }
    db.exec(QStringLiteral("COMMIT"));
}
