#include "analysis/Unit4.h"
#include "core/ValueConversion.h"

#include "analysis/ChartImage.h"
#include "analysis/ChartPrint.h"
#include "analysis/LineDecimation.h"
#include "core/FormatSettings.h"
#include "db/RecordSet.h"
#include "db/Schema.h"
#include "db/SqlDialect.h"
#include "db/Statements.h"
#include "db/forms/DataSource.h"
#include "db/forms/DatabasePath.h"
#include "db/forms/ReferenceList.h"
#include "ui/ErrorGuard.h"
#include "ui/Printer.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGraphicsLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineSeries>
#include <QLocale>
#include <QMouseEvent>
#include <QPageLayout>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QScopeGuard>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

using namespace Qt::StringLiterals;

QPointer<Tanaliz> analiz;

// ---------------------------------------------------------------------------------------------
// The chart view

namespace {

// The chart view's rubber-band zoom (drag to the lower right; a right click zooms out),
// plus panning by dragging with the right button.
class ZoomPanChartView final : public QChartView
{
public:
    ZoomPanChartView(QChart *chart, QWidget *parent) : QChartView(chart, parent)
    {
        setRubberBand(QChartView::RectangleRubberBand);
    }

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::RightButton) {
            m_panFrom = event->position();
            m_panned = false;
            event->accept();
            return;
        }
        QChartView::mousePressEvent(event);
    }

    void mouseMoveEvent(QMouseEvent *event) override
    {
        if (event->buttons() & Qt::RightButton) {
            const QPointF step = event->position() - m_panFrom;
            if (!step.isNull()) {
                chart()->scroll(-step.x(), step.y());
                m_panFrom = event->position();
                m_panned = true;
            }
            event->accept();
            return;
        }
        QChartView::mouseMoveEvent(event);
    }

    void mouseReleaseEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::RightButton && m_panned) {
            m_panned = false;
            event->accept();
            return;
        }
        QChartView::mouseReleaseEvent(event);
    }

private:
    QPointF m_panFrom;
    bool m_panned = false;
};

QColor clRed()
{
    return QColor(0xFF, 0x00, 0x00);
}

QColor clGreen()
{
    return QColor(0x00, 0x80, 0x00);
}

void setTextColor(QLabel *label, const QColor &color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

QLineSeries *lineSeries(const QColor &color, QObject *parent)
{
    auto *series = new QLineSeries(parent);
    QPen pen(color);
    pen.setWidth(3);
    series->setPen(pen);
    series->setPointsVisible(false);
    series->setPointLabelsVisible(false);
    return series;
}

// A tick step of 1, 2 or 5 times a power of ten that gives at most `count` steps over the span.
double niceTickStep(double span, double count)
{
    if (!std::isfinite(span) || span <= 0.0)
        return 1.0;
    const double power = std::pow(10.0, std::floor(std::log10(span / count)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (span / (power * factor) <= count)
            return power * factor;
    }
    return power * 10.0;
}

// A value axis whose ticks fall on round numbers, about `count` of them over whatever range
// is shown, zoomed or not; never closer than `smallest`.
QValueAxis *roundTicksAxis(const QString &labelFormat, double count, double smallest,
                           QObject *parent)
{
    auto *axis = new QValueAxis(parent);
    axis->setLabelFormat(labelFormat);
    axis->setTickAnchor(0.0);
    axis->setTickInterval(1.0);
    axis->setTickType(QValueAxis::TicksDynamic);
    QObject::connect(axis, &QValueAxis::rangeChanged, axis,
                     [axis, count, smallest](qreal min, qreal max) {
                         axis->setTickInterval(std::max(smallest, niceTickStep(max - min, count)));
                     });
    return axis;
}

// Lays out a label as its text needs, at the given place.
QLabel *placedLabel(const QString &text, QWidget *parent, int left, int top)
{
    auto *result = new QLabel(text, parent);
    result->move(left, top);
    result->adjustSize();
    return result;
}

// The caption of a list, moved to the left where this font makes it run into the list.
QLabel *listCaption(const QString &text, QWidget *parent, int left, int top, int listLeft)
{
    QLabel *caption = placedLabel(text, parent, left, top);
    caption->move(std::max(2, std::min(left, listLeft - 3 - caption->width())), top);
    return caption;
}

// A control at its place, widened where this font needs more room for its text.
template <typename Control> Control *placed(Control *control, const QRect &place)
{
    control->setGeometry(QRect(place.topLeft(), place.size().expandedTo(control->sizeHint())));
    return control;
}

QComboBox *selectionList(QWidget *parent, int left, int top)
{
    QComboBox *const list = editableNameList(parent);
    list->move(left, top);
    list->resize(145, list->sizeHint().height());
    return list;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The window

Tanaliz::Tanaliz(QWidget *parent) : DatabaseWindow(parent)
{
    setWindowTitle(u"Анализ данных"_s);
    setFont(QFont(u"MS Sans Serif"_s, 8));
    resize(836, 675);

    Label3 = placedLabel(u"___"_s, this, 16, 552);
    setTextColor(Label3, clRed());
    Label4 = placedLabel(u"Первый критерий"_s, this, 40, 560);
    Label5 = placedLabel(u"___"_s, this, 16, 568);
    setTextColor(Label5, clGreen());
    Label6 = placedLabel(u"Второй критерий"_s, this, 40, 576);

    // Only a frame: it lets the clicks through to what lies above it.
    Bevel2 = new QFrame(this);
    Bevel2->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel2->setAttribute(Qt::WA_TransparentForMouseEvents);
    Bevel2->setGeometry(rect());

    Button1 = placed(new QPushButton(u"Начать анализ"_s, this), QRect(16, 152, 89, 25));
    Button1->setToolTip(u"Построить график значений выбранной дисциплины, критерия и средства"_s);

    Memo1 = new QPlainTextEdit(u"Memo1"_s, this);
    Memo1->hide();

    GroupBox1 = new QGroupBox(u"Итоги анализа"_s, this);
    GroupBox1->setGeometry(8, 184, 617, 361);
    buildChart();

    GroupBox2 = new QGroupBox(u"Исходные данные"_s, this);
    GroupBox2->setGeometry(8, 8, 617, 137);
    ComboBox1 = selectionList(GroupBox2, 88, 16);
    ComboBox3 = selectionList(GroupBox2, 88, 80);
    StaticText1 = listCaption(u"Дисциплина:"_s, GroupBox2, 16, 24, 88);
    StaticText2 = listCaption(u"Критерий:"_s, GroupBox2, 32, 56, 88);
    ComboBox2 = selectionList(GroupBox2, 88, 48);
    StaticText3 = listCaption(u"Средство ИКТ:"_s, GroupBox2, 8, 88, 88);
    CheckBox1 =
        placed(new QCheckBox(u"Сравнить два критерия"_s, GroupBox2), QRect(16, 112, 145, 17));

    // The second selection lies on the window itself, inside the frame of GroupBox2.
    StaticText4 = listCaption(u"Средство ИКТ:"_s, this, 256, 96, 336);
    StaticText5 = listCaption(u"Критерий:"_s, this, 280, 64, 336);
    StaticText6 = listCaption(u"Дисциплина:"_s, this, 264, 32, 336);
    ComboBox4 = selectionList(this, 336, 24);
    ComboBox5 = selectionList(this, 336, 56);
    ComboBox6 = selectionList(this, 336, 88);
    setSecondSelectionEnabled(false);

    Button2 = placed(new QPushButton(u"Печать"_s, this), QRect(16, 600, 75, 25));
    Button2->setToolTip(u"Напечатать график"_s);

    std::tie(DataSource1, ADOConnection1, ADODataSet1, ADOTable1) = makeRecordSets(this);
    std::tie(DataSource2, ADOConnection2, ADODataSet2, ADOTable2) = makeRecordSets(this);
    std::tie(DataSource3, ADOConnection3, ADODataSet3, ADOTable3) = makeRecordSets(this);
    std::tie(DataSource4, ADOConnection4, ADODataSet4, ADOTable4) = makeRecordSets(this);
    // Named but never opened.
    ADOTable4->setTableName(Schema::Values);

    connect(Button1, &QPushButton::clicked, this, guarded(this, &Tanaliz::Button1Click));
    connect(Button2, &QPushButton::clicked, this, guarded(this, &Tanaliz::Button2Click));
    connect(CheckBox1, &QCheckBox::toggled, this, guarded(this, &Tanaliz::CheckBox1Click));

    guard(this, [this] { FormCreate(); });
}

Tanaliz::~Tanaliz()
{
    if (analiz == this)
        analiz = nullptr;
}

void Tanaliz::buildChart()
{
    auto *chart = new QChart;
    chart->setTitle(u"Графики"_s);
    chart->legend()->hide();
    // The panel takes the colour the caption text has on the desktop; the plot area is white.
    chart->setBackgroundBrush(palette().color(QPalette::HighlightedText));
    chart->setBackgroundRoundness(0);
    // The panel reaches the edges of the view, as one whole chart.
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setPlotAreaBackgroundBrush(Qt::white);
    chart->setPlotAreaBackgroundVisible(true);

    // Added in this order, the green line is drawn over the red one.
    Series1 = lineSeries(clRed(), chart);
    Series2 = lineSeries(clGreen(), chart);
    chart->addSeries(Series1);
    chart->addSeries(Series2);

    // Numbers on the axes in the user's format ("4,5").
    chart->setLocalizeNumbers(true);
    chart->setLocale(FormatSettings::instance().regionalLocale());
    // Positions are whole numbers; values may be anything.
    m_axisX = roundTicksAxis(u"%.0f"_s, 10.0, 1.0, chart);
    m_axisY = roundTicksAxis(u"%.6g"_s, 6.0, 0.0, chart);
    chart->addAxis(m_axisX, Qt::AlignBottom);
    chart->addAxis(m_axisY, Qt::AlignLeft);
    for (QLineSeries *series : {Series1, Series2}) {
        series->attachAxis(m_axisX);
        series->attachAxis(m_axisY);
    }

    Chart1 = new ZoomPanChartView(chart, GroupBox1);
    Chart1->setGeometry(8, 24, 585, 321);
    offerChartImage(*Chart1, QStringLiteral("график"), RightClick::IsTaken);
    // A zoom, a pan or a new size shows other columns: the lines are drawn for them again.
    connect(m_axisX, &QValueAxis::rangeChanged, this, [this] { drawLines(plotColumns()); });
    connect(chart, &QChart::plotAreaChanged, this, [this] { drawLines(plotColumns()); });
    fitAxes({}, {});
}

void Tanaliz::FormCreate()
{
    // Nothing to prepare: the lists are filled when the window is shown.
}

void Tanaliz::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Bevel2->setGeometry(rect());
}

void Tanaliz::setSecondSelectionEnabled(bool enabled)
{
    for (QComboBox *list : {ComboBox4, ComboBox5, ComboBox6})
        list->setEnabled(enabled);
}

void Tanaliz::FormShow()
{
    setSecondSelectionEnabled(CheckBox1->isChecked());

    DBPath = publishedDatabasePath();
    if (DBPath.isEmpty())
        return;

    // Adding the first item to a list selects it; the texts are to stay empty until the
    // user acts, also when reading stops at an error.
    readReferenceList(DBPath, *ADOConnection1, *ADODataSet1, *ADOTable1, Schema::Disciplines,
                      {ComboBox1, ComboBox4});
    // The criteria and the ICT tools each read the published path again.
    const QString criteriaPath = publishedDatabasePath();
    if (!criteriaPath.isEmpty()) {
        readReferenceList(criteriaPath, *ADOConnection2, *ADODataSet2, *ADOTable2, Schema::Criteria,
                          {ComboBox2, ComboBox5});
    }
    const QString toolsPath = publishedDatabasePath();
    if (!toolsPath.isEmpty()) {
        readReferenceList(toolsPath, *ADOConnection3, *ADODataSet3, *ADOTable3, Schema::IctTools,
                          {ComboBox3, ComboBox6});
    }
}

void Tanaliz::CheckBox1Click()
{
    // While the box is unchecked the second selection takes no part, so it is not editable.
    setSecondSelectionEnabled(CheckBox1->isChecked());
}

void Tanaliz::Button1Click()
{
    Series1->clear();
    Series2->clear();
    QList<QPointF> first;
    QList<QPointF> second;
    // What was read is drawn also when a bad value stopped the analysis.
    const auto draw = qScopeGuard([&] { showLines(first, second); });

    connectToDatabase(*ADOConnection4, DBPath, {ADODataSet4});
    ADODataSet4->close();

    // A printed chart names what each line shows.
    m_legend.clear();
    const auto legendEntry = [](const QLineSeries *series, const QString &caption,
                                const QComboBox *discipline, const QComboBox *criterion,
                                const QComboBox *tool) {
        return ChartLegendEntry{
            series->pen().color(),
            u"%1: дисциплина «%2», критерий «%3», средство ИКТ «%4»"_s.arg(
                caption, discipline->currentText(), criterion->currentText(), tool->currentText())};
    };
    m_legend.append(legendEntry(Series1, Label4->text(), ComboBox1, ComboBox2, ComboBox3));
    readSelection(Statements::selectionValues(ComboBox1->currentText(), ComboBox2->currentText(),
                                              ComboBox3->currentText()),
                  first);
    if (CheckBox1->isChecked()) {
        m_legend.append(legendEntry(Series2, Label6->text(), ComboBox4, ComboBox5, ComboBox6));
        readSelection(Statements::selectionValues(ComboBox4->currentText(),
                                                  ComboBox5->currentText(),
                                                  ComboBox6->currentText()),
                      second);
    }
    const ValueRange range = valueRange(first, second);
    if (!range.isDrawable()) {
        // No axis spans such values: the lines are not drawn rather than drawn wrong.
        first.clear();
        second.clear();
        const QLocale regional = FormatSettings::instance().regionalLocale();
        throw std::runtime_error(
            u"Значения слишком далеки друг от друга, чтобы построить график: от %1 до %2. "
            "Проверьте эти значения в таблице «Значения»"_s
                .arg(regional.toString(range.low, 'g', 6), regional.toString(range.high, 'g', 6))
                .toStdString());
    }
    // ADODataSet4 keeps the last result until the next analysis or the window's end.
}

void Tanaliz::readSelection(const Source &statement, QList<QPointF> &points)
{
    ADODataSet4->close();
    ADODataSet4->setSource(statement);
    ADODataSet4->open();
    // The k-th row in the order the database delivers them is drawn at position k; the rows
    // go by once, none of them kept.
    qint64 k = 0;
    // Looked up once; a statement without the column fails at its first row, as before.
    const int column = ADODataSet4->fieldIndex(Schema::ValueColumn);
    ADODataSet4->forEachRow([&](const RowCursor &row) {
        if (column < 0)
            ADODataSet4->fieldByName(Schema::ValueColumn);
        points.append(QPointF(double(++k), valueToDouble(row.value(column))));
    });
}

void Tanaliz::showLines(const QList<QPointF> &first, const QList<QPointF> &second)
{
    // Laying out 100,000 points takes time: the axes take their final ranges before the
    // lines get their points, so that each line is laid out once.
    m_first.clear();
    m_second.clear();
    fitAxes(first, second);
    m_first = first;
    m_second = second;
    drawLines(plotColumns());
}

int Tanaliz::plotColumns() const
{
    const qreal width = Chart1->chart()->plotArea().width();
    return int(std::ceil(width > 0 ? width : Chart1->width()));
}

void Tanaliz::drawLines(int columns)
{
    // A line needs no more points than its pixel columns can show; the points it keeps
    // are read values, and the axes were fitted to all of them.
    const double left = m_axisX->min();
    const double right = m_axisX->max();
    Series1->replace(decimatedLine(m_first, left, right, columns));
    Series2->replace(decimatedLine(m_second, left, right, columns));
}

ValueRange valueRange(const QList<QPointF> &first, const QList<QPointF> &second)
{
    ValueRange range{std::numeric_limits<double>::max(), std::numeric_limits<double>::lowest()};
    for (const QList<QPointF> *points : {&first, &second}) {
        for (const QPointF &point : *points) {
            range.low = std::min(range.low, point.y());
            range.high = std::max(range.high, point.y());
        }
    }
    if (range.low > range.high)
        return {0.0, 1.0};
    // A single value stands in the middle of a span around it.
    if (range.low == range.high) {
        const double pad = range.low == 0.0 ? 1.0 : std::abs(range.low) * 0.1;
        range.low -= pad;
        range.high += pad;
    }
    return range;
}

bool ValueRange::isDrawable() const
{
    // Ticks are laid out over the span: it must be a number, and so must a tenth of each end
    // (room the axis may round out to).
    return std::isfinite(high - low) && std::isfinite(low * 1.1) && std::isfinite(high * 1.1);
}

void Tanaliz::fitAxes(const QList<QPointF> &first, const QList<QPointF> &second)
{
    const qsizetype longest = std::max(first.size(), second.size());
    const ValueRange range = valueRange(first, second);
    // A tick step that suited the old ranges (a deep zoom, say) could put millions of ticks
    // on the new ones: the ticks stay few while the ranges change, then follow them again.
    for (QValueAxis *axis : {m_axisX, m_axisY})
        axis->setTickType(QValueAxis::TicksFixed);
    const auto roundTicks = qScopeGuard([this] {
        for (QValueAxis *axis : {m_axisX, m_axisY})
            axis->setTickType(QValueAxis::TicksDynamic);
    });
    Chart1->chart()->zoomReset();
    if (longest == 0) {
        m_axisX->setRange(0.0, 1.0);
        m_axisY->setRange(0.0, 1.0);
        return;
    }
    // A single point stands in the middle; more run from the first position to the last.
    if (longest == 1)
        m_axisX->setRange(0.0, 2.0);
    else
        m_axisX->setRange(1.0, double(longest));

    if (!range.isDrawable()) {
        m_axisY->setRange(0.0, 1.0);
        return;
    }
    m_axisY->setRange(range.low, range.high);
    m_axisY->applyNiceNumbers();
}

void Tanaliz::Button2Click()
{
    // Landscape for this job only: the printer set up keeps its own orientation.
    PrintJob job(currentPrinter(), chartDocumentName(), windowTitle());
    job.printer().setPageOrientation(QPageLayout::Landscape);
    // The page has many more columns than the screen: the lines are drawn for the page's,
    // and for the screen's again afterwards.
    const QPrinter &printer = job.printer();
    drawLines(printer.pageLayout().paintRectPixels(printer.resolution()).width());
    const auto redraw = qScopeGuard([this] { drawLines(plotColumns()); });
    showPrintedFile(this, printChart(*Chart1->chart(), job, ChartPageFit::Stretch, m_legend));
}

void Tanaliz::FormClose(QCloseEvent *event)
{
    // The window goes once the close has been processed (Qt::WA_DeleteOnClose).
    event->accept();
}
