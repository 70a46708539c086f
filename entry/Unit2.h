#pragma once

#include "db/forms/DatabaseWindow.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

QT_FORWARD_DECLARE_CLASS(QComboBox)
QT_FORWARD_DECLARE_CLASS(QDate)
QT_FORWARD_DECLARE_CLASS(QFrame)
QT_FORWARD_DECLARE_CLASS(QGroupBox)
QT_FORWARD_DECLARE_CLASS(QLabel)
QT_FORWARD_DECLARE_CLASS(QLineEdit)
QT_FORWARD_DECLARE_CLASS(QPushButton)

class Connection;
class DataGrid;
class DataSource;
class QueryRecordSet;
class RecordNavigator;
class TableRecordSet;
class TGridReport;

// The name of a month (1 to 12) as it follows a day number: "Марта", "Декабря".
QString genitiveMonthName(int month);

// The date stored with a new value: day, month and year as "dd", "mm" and "yyyy", joined by
// the process-wide date separator.
QString storedDateText(const QDate &date);

// "Ввод данных статистики": stores new criterion values stamped with today's date, and
// shows the stored values of one discipline and criterion in a grid to correct and print.
class Tadddata : public DatabaseWindow
{
    Q_OBJECT
public:
    explicit Tadddata(QWidget *parent = nullptr);
    ~Tadddata() override;

    // Controls and components, in the order of the form.
    QFrame *Bevel1;
    QLabel *Label2; // hidden: the last filter statement
    QGroupBox *GroupBox1;
    QLabel *Label1;
    QLabel *Label6;
    QLabel *dd;
    QLabel *m;
    QLabel *y;
    QLabel *Label10;
    QLineEdit *Edit1;
    QLabel *StaticText1;
    QComboBox *ComboBox1;
    QLabel *StaticText2;
    QComboBox *ComboBox2;
    QLabel *StaticText3;
    QComboBox *ComboBox3;
    QPushButton *Button1;
    QGroupBox *GroupBox2;
    QLabel *Label3;
    QLabel *Label4;
    QLabel *Label5;
    DataGrid *DBGrid1;
    QComboBox *ComboBox4;
    QLabel *StaticText4;
    QLabel *StaticText5;
    QComboBox *ComboBox5;
    RecordNavigator *DBNavigator1;
    QPushButton *Button2;
    // Set 1: disciplines; set 2: criteria; set 3: ICT tools; set 4: the stored values.
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
    TGridReport *GridReport1;

    void FormShow() override;
    void FormClose(QCloseEvent *event) override;
    void Button1Click();
    void Button2Click();
    void ComboBox5Change();

private:
    void buildEntryGroup();
    void buildGridGroup();
    void showDateLine();
    // Gives set 4 the connection string built from the window's copy of the path.
    void connectValues();

    // True while the report preview is open: Button2Click is still running then.
    bool m_printing = false;

    // The database path as read from the main window when the window was shown.
    QString DBPath;
};

// The one value entry window, empty while there is none.
extern QPointer<Tadddata> adddata;
