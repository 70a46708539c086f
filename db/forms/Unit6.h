#pragma once

#include "db/forms/DatabaseWindow.h"

#include <QPointer>
#include <QString>
#include <QWidget>
#include <array>
#include <tuple>

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

// "Добавление новых параметров": the three reference lists (disciplines, criteria, ICT
// tools) side by side, each with a box to add a name and a grid to edit and delete them.
class Taddp : public DatabaseWindow
{
    Q_OBJECT
public:
    explicit Taddp(QWidget *parent = nullptr);
    ~Taddp() override;

    // Controls in the order of the form: the disciplines, the criteria, the ICT tools.
    QFrame *Bevel1;
    QGroupBox *GroupBox1;
    QLabel *Label1;
    QLineEdit *Edit1;
    QPushButton *Button1;
    QLabel *Label2;
    DataGrid *DBGrid1;
    QLabel *Label7;
    RecordNavigator *DBNavigator1;
    DataSource *DataSource1;
    Connection *ADOConnection1;
    QueryRecordSet *ADODataSet1;
    TableRecordSet *ADOTable1;

    QGroupBox *GroupBox2;
    QLabel *Label3;
    QLineEdit *Edit2;
    QPushButton *Button2;
    QLabel *Label4;
    DataGrid *DBGrid2;
    QLabel *Label8;
    RecordNavigator *DBNavigator2;
    DataSource *DataSource2;
    Connection *ADOConnection2;
    QueryRecordSet *ADODataSet2;
    TableRecordSet *ADOTable2;

    QGroupBox *GroupBox3;
    QLabel *Label5;
    QLineEdit *Edit3;
    QPushButton *Button3;
    QLabel *Label6;
    DataGrid *DBGrid3;
    QLabel *Label9;
    RecordNavigator *DBNavigator3;
    DataSource *DataSource3;
    Connection *ADOConnection3;
    QueryRecordSet *ADODataSet3;
    TableRecordSet *ADOTable3;

    void FormShow() override;
    void FormClose(QCloseEvent *event) override;
    void Button1Click();
    void Button2Click();
    void Button3Click();

private:
    // The members of one of the three identical groups, and the table it keeps.
    struct ListGroup
    {
        QGroupBox *box = nullptr;
        QLabel *prompt = nullptr;
        QLineEdit *edit = nullptr;
        QPushButton *add = nullptr;
        QLabel *listCaption = nullptr;
        DataGrid *grid = nullptr;
        QLabel *deleteCaption = nullptr;
        RecordNavigator *navigator = nullptr;
        DataSource *source = nullptr;
        Connection *connection = nullptr;
        QueryRecordSet *query = nullptr;
        TableRecordSet *table = nullptr;
        QString tableName;

        auto members() const
        {
            return std::tuple(box, prompt, edit, add, listCaption, grid, deleteCaption, navigator,
                              source, connection, query, table);
        }
    };
    enum List
    {
        Disciplines,
        Criteria,
        IctTools
    };

    ListGroup makeGroup(const QString &caption, const QString &listCaption,
                        const QString &deleteCaption, const QString &tableName);
    // Steps shared by filling and adding: the database path, then the connection string,
    // table name and statement handed to the group's components. False without a path.
    bool prepare(const ListGroup &group);
    void fillList(const ListGroup &group);
    void addName(const ListGroup &group);

    // The database path as last read from the main window; empty: no database open.
    QString DBPath;
    std::array<ListGroup, 3> m_groups;
};

// The one reference lists editor, if it exists.
extern QPointer<Taddp> addp;
