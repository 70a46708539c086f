#pragma once

#include "analysis/ChartPrint.h"
#include "db/forms/DatabaseWindow.h"

#include <QList>
#include <QPointF>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QWidget>

// The span of values that the value axis shows for the points of both lines: from the
// lowest to the highest, spread around a single value.
struct ValueRange
{
    double low = 0.0;
    double high = 1.0;
    // Whether an axis can be laid out over it: huge values of both signs span more than
    // any number.
    bool isDrawable() const;
};
ValueRange valueRange(const QList<QPointF> &first, const QList<QPointF> &second);

class Connection;
struct Source;
class DataSource;
class QueryRecordSet;
class TableRecordSet;

class QChartView;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineSeries;
class QPlainTextEdit;
class QPushButton;
class QValueAxis;

// The data analysis window: the values of one selection (discipline, criterion, ICT tool)
// drawn as a red line over their order, a second selection as a green line beside it.
class Tanaliz : public DatabaseWindow
{
    Q_OBJECT
public:
    explicit Tanaliz(QWidget *parent = nullptr);
    ~Tanaliz() override;

    // Controls and components, in the order of the form.
    QLabel *Label3;
    QLabel *Label4;
    QLabel *Label5;
    QLabel *Label6;
    QFrame *Bevel2;
    QPushButton *Button1;
    QPlainTextEdit *Memo1;
    QGroupBox *GroupBox1;
    QChartView *Chart1 = nullptr;
    QLineSeries *Series1;
    QLineSeries *Series2;
    QGroupBox *GroupBox2;
    QComboBox *ComboBox1;
    QComboBox *ComboBox3;
    QLabel *StaticText1;
    QLabel *StaticText2;
    QComboBox *ComboBox2;
    QLabel *StaticText3;
    QCheckBox *CheckBox1;
    QLabel *StaticText4;
    QLabel *StaticText5;
    QLabel *StaticText6;
    QComboBox *ComboBox4;
    QComboBox *ComboBox5;
    QComboBox *ComboBox6;
    QPushButton *Button2;
    // Set 1: disciplines; set 2: criteria; set 3: ICT tools; set 4: the analysed values.
    DataSource *DataSource1;
    Connection *ADOConnection1;
    QueryRecordSet *ADODataSet1;
    TableRecordSet *ADOTable1;
    DataSource *DataSource2;
    Connection *ADOConnection2;
    QueryRecordSet *ADODataSet2;
    TableRecordSet *ADOTable2;
    DataSource *DataSource3;
    Connection *ADOConnection3;
    QueryRecordSet *ADODataSet3;
    TableRecordSet *ADOTable3;
    DataSource *DataSource4;
    Connection *ADOConnection4;
    QueryRecordSet *ADODataSet4;
    TableRecordSet *ADOTable4;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void FormCreate();
    void FormShow() override;
    void FormClose(QCloseEvent *event) override;
    void Button1Click();
    void Button2Click();
    void CheckBox1Click();

    void buildChart();
    void setSecondSelectionEnabled(bool enabled);
    // Opens the statement of one selection in set 4 and reads its values as points.
    void readSelection(const Source &statement, QList<QPointF> &points);
    void showLines(const QList<QPointF> &first, const QList<QPointF> &second);
    // Gives the series the points of the lines that `columns` pixel columns can show.
    void drawLines(int columns);
    int plotColumns() const;
    // Scales both axes to the points of both lines.
    void fitAxes(const QList<QPointF> &first, const QList<QPointF> &second);

    // What the last analysis drew, for the legend of a print.
    QList<ChartLegendEntry> m_legend;
    // Every point the last analysis read; the series hold those their columns show.
    QList<QPointF> m_first;
    QList<QPointF> m_second;
    QValueAxis *m_axisX = nullptr;
    QValueAxis *m_axisY = nullptr;
    QString DBPath; // the database path as read when the window was shown
};

// The one data analysis window, empty while there is none.
extern QPointer<Tanaliz> analiz;
