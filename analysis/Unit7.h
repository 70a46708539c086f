#pragma once

#include "db/forms/DatabaseWindow.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <array>
#include <memory>

QT_FORWARD_DECLARE_CLASS(QChartView)
QT_FORWARD_DECLARE_CLASS(QComboBox)
QT_FORWARD_DECLARE_CLASS(QFrame)
QT_FORWARD_DECLARE_CLASS(QLabel)
QT_FORWARD_DECLARE_CLASS(QPieSeries)
QT_FORWARD_DECLARE_CLASS(QPlainTextEdit)
QT_FORWARD_DECLARE_CLASS(QPushButton)

class Connection;
class DataSource;
class PieDecoration;
class QueryRecordSet;
class TableRecordSet;

namespace EffAnalysis {

// The most disciplines one analysis takes: with this many rows or more in the table of
// disciplines nothing is analysed.
constexpr int MaxDisciplines = 19;

// The mean of one discipline's values.
struct DisciplineMean
{
    QString name;
    double value = 0.0;
};

// The twenty slots of one analysis: each a discipline name and the values credited to it.
class DisciplineSlots
{
public:
    static constexpr int Count = 20;

    // Names the slots from the first rows of the disciplines table; the rest stay unnamed
    // (an unnamed slot matches the empty text).
    void setNames(const QList<QString> &names);
    // Credits the value to the first slot whose name equals the discipline exactly,
    // trying slots 1 to 11, then 20, then 12 to 19. False when no slot takes it.
    bool credit(const QString &discipline, double value);
    // The mean of every slot in slot order, leaving out those that are exactly 0.0.
    QList<DisciplineMean> nonZeroMeans() const;

private:
    struct Slot
    {
        QString name;
        double total = 0.0;
        int count = 0;
        // The mean kept step by step, which no sum of huge values can overflow.
        double runningMean = 0.0;
    };
    int slotOf(const QString &discipline);

    std::array<Slot, Count> m_slots;
    // The discipline last credited and its slot: rows come in runs of one discipline, each
    // run sharing one text, which is then matched without comparing it again.
    QString m_lastDiscipline;
    int m_lastSlot = -1;
};

} // namespace EffAnalysis

// "Анализ (сравнение) эффективности": the mean of one criterion per discipline, as a pie.
class Teff : public DatabaseWindow
{
    Q_OBJECT
public:
    explicit Teff(QWidget *parent = nullptr);
    ~Teff() override;

    // Controls in the order of the form.
    QFrame *Bevel1;
    QPushButton *Button1;
    QChartView *Chart1;
    QPieSeries *Series1;
    QPlainTextEdit *Memo1;
    QPushButton *Button2;
    QLabel *StaticText1;
    QComboBox *ComboBox1;
    QLabel *StaticText2;
    // Set 1: the value statement of the analysis.
    DataSource *DataSource1;
    Connection *ADOConnection1;
    QueryRecordSet *ADODataSet1;
    TableRecordSet *ADOTable1;
    // Set 2: counts the disciplines and reads their names.
    DataSource *DataSource2;
    Connection *ADOConnection2;
    QueryRecordSet *ADODataSet2;
    TableRecordSet *ADOTable2;
    // Set 3: reads the criterion names.
    DataSource *DataSource3;
    Connection *ADOConnection3;
    QueryRecordSet *ADODataSet3;
    TableRecordSet *ADOTable3;

    // The database path as last read from the main window; empty: no database open.
    QString DBPath;

    void FormShow() override;
    void FormClose(QCloseEvent *event) override;
    void Button1Click();
    void Button2Click();

    // The marks of the slices, whole and as drawn beside the pie (names shortened where room
    // is short), and where they stand in the chart.
    QStringList marks() const;
    QStringList shownMarks() const;
    QList<QRectF> markRects() const;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    int countDisciplines();
    void nameSlots(EffAnalysis::DisciplineSlots &slotTable);
    void creditValues(EffAnalysis::DisciplineSlots &slotTable);
    void showMeans(const QList<EffAnalysis::DisciplineMean> &means);
    void fitMarks();

    std::unique_ptr<PieDecoration> m_decoration;
    // The criterion of the pie shown, for its printout.
    QString m_criterion;
};

// The one efficiency comparison window, if it exists.
extern QPointer<Teff> eff;
