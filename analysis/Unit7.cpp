#include "analysis/Unit7.h"
#include "core/ValueConversion.h"

#include "analysis/ChartImage.h"
#include "analysis/ChartPrint.h"
#include "analysis/PieDecoration.h"
#include "core/FormatSettings.h"
#include "db/FieldInfo.h"
#include "db/RecordSet.h"
#include "db/Schema.h"
#include "db/SqlDialect.h"
#include "db/Statements.h"
#include "db/forms/DataSource.h"
#include "db/forms/DatabasePath.h"
#include "db/forms/ReferenceList.h"
#include "ui/Dialogs.h"
#include "ui/ErrorGuard.h"
#include "ui/Printer.h"

#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGraphicsLayout>
#include <QGraphicsRectItem>
#include <QGraphicsTextItem>
#include <QLabel>
#include <QPageLayout>
#include <QPieSeries>
#include <QPieSlice>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QScopeGuard>
#include <algorithm>
#include <cmath>
#include <stdexcept>

using namespace Qt::StringLiterals;

QPointer<Teff> eff;

namespace EffAnalysis {

namespace {

// Slot numbers 1 to 11, then 20, then 12 to 19, as 0-based indexes: the order in which a
// discipline text looks for its slot.
constexpr std::array<int, DisciplineSlots::Count> MatchingOrder = {
    0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 19, 11, 12, 13, 14, 15, 16, 17, 18};

} // namespace

void DisciplineSlots::setNames(const QList<QString> &names)
{
    for (int i = 0; i < Count; ++i)
        m_slots[size_t(i)].name = i < names.size() ? names.at(i) : QString();
    m_lastSlot = -1;
}

int DisciplineSlots::slotOf(const QString &discipline)
{
    if (m_lastSlot >= 0 && discipline.constData() == m_lastDiscipline.constData() &&
        discipline.size() == m_lastDiscipline.size())
        return m_lastSlot;
    for (const int index : MatchingOrder) {
        if (m_slots[size_t(index)].name == discipline) {
            m_lastDiscipline = discipline;
            m_lastSlot = index;
            return index;
        }
    }
    return -1;
}

bool DisciplineSlots::credit(const QString &discipline, double value)
{
    const int index = slotOf(discipline);
    if (index < 0)
        return false;
    Slot &slot = m_slots[size_t(index)];
    slot.total += value;
    ++slot.count;
    const double count = double(slot.count);
    slot.runningMean += value / count - slot.runningMean / count;
    return true;
}

QList<DisciplineMean> DisciplineSlots::nonZeroMeans() const
{
    QList<DisciplineMean> means;
    for (const Slot &slot : m_slots) {
        // The sum of huge values may overflow where their mean does not.
        const double mean = slot.count == 0             ? slot.total
                            : std::isfinite(slot.total) ? slot.total / double(slot.count)
                                                        : slot.runningMean;
        if (mean != 0.0)
            means.append({slot.name, mean});
    }
    return means;
}

} // namespace EffAnalysis

using namespace EffAnalysis;

namespace {

const QString ChartTitle = QStringLiteral("Результаты анализа");
const QString SeriesTitle = QStringLiteral("Итоги анализа");
const QColor TitleBoxColour(152, 153, 163);

// The least width, in pixels of the screen, at which the pie is laid out for a page; the
// page's letters are as large as the screen's at about this width.
constexpr qreal PrintedPieWidth = 900;
// The largest slice is pulled out by this share of the radius.
constexpr qreal ExplodeShare = 0.10;

// A distinct colour for each slice in turn: hues a golden angle apart.
QColor sliceColour(int index)
{
    const int hue = int(std::fmod(index * 137.508, 360.0));
    return QColor::fromHsv(hue, 170, 225);
}

// The chart draws its title as a text item of its own; the box goes behind it.
QGraphicsTextItem *titleItem(QChart &chart)
{
    const QList<QGraphicsItem *> children = chart.childItems();
    for (QGraphicsItem *child : children) {
        auto *text = qgraphicsitem_cast<QGraphicsTextItem *>(child);
        if (text && text->toPlainText() == chart.title())
            return text;
    }
    return nullptr;
}

// Keeps a solid box behind the chart's title text, following it wherever the layout puts it.
void fitTitleBox(QChart &chart)
{
    QGraphicsTextItem *title = titleItem(chart);
    if (!title)
        return;
    QGraphicsRectItem *box = nullptr;
    const QList<QGraphicsItem *> children = title->childItems();
    for (QGraphicsItem *child : children) {
        if ((box = qgraphicsitem_cast<QGraphicsRectItem *>(child)))
            break;
    }
    if (!box) {
        box = new QGraphicsRectItem(title);
        box->setFlag(QGraphicsItem::ItemStacksBehindParent);
        box->setBrush(TitleBoxColour);
        box->setPen(Qt::NoPen);
    }
    box->setRect(title->boundingRect().adjusted(-4, 0, 4, 0));
}

// The position of a named column, looked up once rather than for every row.
int positionOf(const RecordSet &records, const QString &name)
{
    const int position = records.fieldIndex(name);
    if (position < 0)
        records.fieldByName(name); // throws the layer's own message for a missing column
    return position;
}

QWidget *positioned(QWidget *widget, int left, int top, int width, int height)
{
    widget->setGeometry(left, top, width, height);
    return widget;
}

} // namespace

Teff::Teff(QWidget *parent)
    : DatabaseWindow(parent), Bevel1(new QFrame(this)),
      Button1(new QPushButton(QStringLiteral("Анализ"), this)), Chart1(new QChartView(this)),
      Series1(new QPieSeries(this)), Memo1(new QPlainTextEdit(QStringLiteral("Memo1"), this)),
      Button2(new QPushButton(QStringLiteral("Печать"), this)),
      StaticText1(new QLabel(
          QStringLiteral("Укажите критерий по которому будет производится анализ:"), this)),
      ComboBox1(editableNameList(this)),
      StaticText2(
          new QLabel(QStringLiteral("Программа может обработать не более 20 критериев."), this))
{
    std::tie(DataSource1, ADOConnection1, ADODataSet1, ADOTable1) = makeRecordSets(this);
    std::tie(DataSource2, ADOConnection2, ADODataSet2, ADOTable2) = makeRecordSets(this);
    std::tie(DataSource3, ADOConnection3, ADODataSet3, ADOTable3) = makeRecordSets(this);
    eff = this;
    setWindowTitle(QStringLiteral("Анализ (сравнение) эффективности"));
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    resize(768, 598);

    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);

    QFont bold = StaticText1->font();
    bold.setBold(true);
    StaticText1->setFont(bold);
    StaticText1->adjustSize();
    StaticText1->move(16, 16);
    positioned(ComboBox1, StaticText1->geometry().right() + 9, 12, 217, 21);
    StaticText2->adjustSize();
    StaticText2->move(16, 40);
    positioned(Button1, 16, 72, 75, 25);
    positioned(Chart1, 8, 112, 689, 409);
    positioned(Button2, 8, 529, 75, 25);
    positioned(Memo1, 704, 112, 57, 89)->hide();
    setTabOrder(Button1, ComboBox1);
    setTabOrder(ComboBox1, Button2);

    QChart *chart = Chart1->chart();
    chart->setTitle(ChartTitle);
    chart->legend()->hide();
    chart->setBackgroundRoundness(0);
    chart->setBackgroundBrush(palette().window());
    chart->setBackgroundPen(Qt::NoPen);
    Chart1->setRubberBand(QChartView::NoRubberBand);
    Chart1->setDragMode(QGraphicsView::NoDrag);
    offerChartImage(*Chart1, QStringLiteral("диаграмма"));
    Button1->setToolTip(
        QStringLiteral("Построить диаграмму средних значений критерия по дисциплинам"));
    Button2->setToolTip(QStringLiteral("Напечатать диаграмму"));
    Chart1->setRenderHint(QPainter::Antialiasing);
    Series1->setPieSize(PieDecoration::LargestPie);
    chart->addSeries(Series1);
    m_decoration = std::make_unique<PieDecoration>(*chart, *Series1);
    connect(chart, &QChart::plotAreaChanged, this, &Teff::fitMarks);

    connect(Button1, &QPushButton::clicked, this, guarded(this, &Teff::Button1Click));
    connect(Button2, &QPushButton::clicked, this, guarded(this, &Teff::Button2Click));
}

Teff::~Teff()
{
    if (eff == this)
        eff = nullptr;
}

void Teff::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Bevel1->setGeometry(rect());
}

void Teff::FormShow()
{
    Button1->setFocus();
    DBPath = publishedDatabasePath();
    if (DBPath.isEmpty())
        return;
    connectToDatabase(*ADOConnection3, DBPath, {ADOTable3});
    ADOTable3->setTableName(Schema::Criteria);
    ADOTable3->open();
    appendReferenceNames(*ADOTable3, {ComboBox1});
}

void Teff::FormClose(QCloseEvent *event)
{
    // Qt::WA_DeleteOnClose destroys the window once the close has been processed.
    event->accept();
}

void Teff::Button1Click()
{
    Series1->clear();
    Series1->setName(SeriesTitle);

    DisciplineSlots slotTable;
    int disciplineCount = 0;
    DBPath = publishedDatabasePath();
    if (!DBPath.isEmpty()) {
        disciplineCount = countDisciplines();
        nameSlots(slotTable);
    }

    const QString criterion = ComboBox1->currentText();
    m_criterion = criterion;
    ADODataSet1->close();
    connectToDatabase(*ADOConnection1, DBPath, {ADODataSet1});
    ADODataSet1->setSource(Statements::criterionValues(criterion));
    ADODataSet1->open();
    const auto closeValues = qScopeGuard([this] { ADODataSet1->close(); });

    if (disciplineCount > MaxDisciplines) {
        ADODataSet1->close();
        dialogs().information(this,
                              QStringLiteral("Анализ охватывает не более %1 дисциплин, а в таблице "
                                             "«Дисциплины» их %2. Диаграмма не построена.")
                                  .arg(MaxDisciplines)
                                  .arg(disciplineCount));
        return;
    }
    creditValues(slotTable);
    ADODataSet1->close();
    showMeans(slotTable.nonZeroMeans());
}

int Teff::countDisciplines()
{
    connectToDatabase(*ADOConnection2, DBPath, {ADODataSet2});
    ADODataSet2->setSource(Statements::allRows(Schema::Disciplines));
    ADODataSet2->open();
    const auto closeCount = qScopeGuard([this] { ADODataSet2->close(); });
    return int(ADODataSet2->recordCount());
}

void Teff::nameSlots(DisciplineSlots &slotTable)
{
    ADOTable2->close();
    connectToDatabase(*ADOConnection2, DBPath, {ADOTable2});
    ADOTable2->setTableName(Schema::Disciplines);
    ADOTable2->open();
    QList<QString> names;
    const int nameAt = ADOTable2->nameColumn();
    for (ADOTable2->first(); !ADOTable2->eof() && names.size() < DisciplineSlots::Count;
         ADOTable2->next())
        names.append(ADOTable2->text(nameAt));
    slotTable.setNames(names);
}

void Teff::creditValues(DisciplineSlots &slotTable)
{
    const int disciplineAt = positionOf(*ADODataSet1, Schema::DisciplineColumn);
    const int valueAt = positionOf(*ADODataSet1, Schema::ValueColumn);
    // Every row is converted in full before it is matched, so that a bad value stops the
    // analysis even where no slot would take it. The rows go by once, none of them kept.
    // Means do not depend on the order: the database reads them as it likes best (from the
    // covering index of a file made by orvinta-db).
    ADODataSet1->forEachRow(
        [&](const RowCursor &row) {
            const QString discipline = valueText(row.value(disciplineAt));
            const double value = valueNumber(row.value(valueAt));
            slotTable.credit(discipline, value);
        },
        RecordSet::RowOrder::Any);
}

void Teff::showMeans(const QList<DisciplineMean> &means)
{
    // The pie adds its slices up: where huge means would overflow that sum, every slice is
    // given in the same smaller unit, which keeps the shares.
    double sum = 0.0;
    double largestMagnitude = 0.0;
    for (const DisciplineMean &mean : means) {
        sum += std::abs(mean.value);
        largestMagnitude = std::max(largestMagnitude, std::abs(mean.value));
    }
    const double unit = std::isfinite(sum) ? 1.0 : largestMagnitude;
    QPieSlice *largest = nullptr;
    for (const DisciplineMean &mean : means) {
        // A pie sizes slices by magnitude; a negative mean keeps its sign in its mark.
        auto *slice = new QPieSlice(mean.name.isEmpty() ? formatMarkValue(mean.value) : mean.name,
                                    std::abs(mean.value) / unit);
        slice->setBrush(sliceColour(int(Series1->count())));
        // The marks are drawn by the decoration, which keeps them apart.
        slice->setLabelVisible(false);
        slice->setExplodeDistanceFactor(ExplodeShare);
        Series1->append(slice);
        if (!largest || slice->value() > largest->value())
            largest = slice;
    }
    if (largest)
        largest->setExploded(true);

    // Each mark names its discipline (or shows the mean of a slot without a name) with the
    // mean and its share of the pie.
    QList<PieMark> marks;
    const QLocale regional = FormatSettings::instance().regionalLocale();
    for (qsizetype i = 0; i < means.size(); ++i) {
        const DisciplineMean &mean = means.at(i);
        const double percent = Series1->slices().at(i)->percentage() * 100;
        const QString share = percent < 0.05 ? u"< "_s + regional.toString(0.1, 'f', 1)
                                             : regional.toString(percent, 'f', 1);
        marks.append({mean.name, u"%1 (%2 %)"_s.arg(formatMarkValue(mean.value), share)});
    }
    m_decoration->setMarks(marks);
    fitMarks();
}

QStringList Teff::marks() const
{
    return m_decoration->marks();
}

QStringList Teff::shownMarks() const
{
    return m_decoration->shownMarks();
}

QList<QRectF> Teff::markRects() const
{
    return m_decoration->markRects();
}

void Teff::fitMarks()
{
    fitTitleBox(*Chart1->chart());
    m_decoration->update();
}

void Teff::Button2Click()
{
    // Landscape for this job only, as the line chart prints: the pie and its marks are wider
    // than high. The criterion under the pie tells two printouts apart.
    PrintJob job(currentPrinter(), chartDocumentName(), windowTitle());
    job.printer().setPageOrientation(QPageLayout::Landscape);
    QList<ChartLegendEntry> legend;
    if (!Series1->isEmpty())
        legend.append({QColor(), u"Критерий: %1"_s.arg(m_criterion)});
    // The pie is laid out again for the page: in the page's proportions, and as much larger
    // than on screen as its marks need to keep their whole names.
    QChart &chart = *Chart1->chart();
    const QSizeF shown = chart.size();
    const QRectF page = job.printer().pageRect(QPrinter::DevicePixel);
    const auto restore = qScopeGuard([&] {
        chart.resize(shown);
        fitMarks();
    });
    for (qreal width = PrintedPieWidth; width <= 2 * PrintedPieWidth; width += 100) {
        chart.resize(QSizeF(width, width * page.height() / page.width()));
        chart.layout()->activate();
        fitMarks();
        if (m_decoration->shownMarks() == m_decoration->marks())
            break;
    }
    showPrintedFile(this, printChart(chart, job, ChartPageFit::KeepProportions, legend));
}
