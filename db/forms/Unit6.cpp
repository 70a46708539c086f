#include "db/forms/Unit6.h"

#include "db/RecordSet.h"
#include "db/Schema.h"
#include "db/Statements.h"
#include "db/forms/DataGrid.h"
#include "db/forms/DataSource.h"
#include "db/forms/DatabasePath.h"
#include "db/forms/RecordNavigator.h"

#include "ui/Dialogs.h"
#include "ui/ErrorGuard.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

QPointer<Taddp> addp;

Taddp::Taddp(QWidget *parent) : DatabaseWindow(parent), Bevel1(new QFrame(this))
{
    addp = this;
    setWindowTitle(QStringLiteral("Добавление новых параметров"));
    resize(1000, 560);

    auto *client = new QVBoxLayout(this);
    client->setContentsMargins(0, 0, 0, 0);
    client->addWidget(Bevel1);
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    auto *groups = new QHBoxLayout(Bevel1);

    m_groups[Disciplines] = makeGroup(
        QStringLiteral("Добавление новой дисциплины"), QStringLiteral("Уже имеющиеся дисциплины:"),
        QStringLiteral("Удалить дисциплину >>>"), Schema::Disciplines);
    m_groups[Criteria] = makeGroup(QStringLiteral("Добавление нового критерия"),
                                   QStringLiteral("Уже имеющиеся критерии: "),
                                   QStringLiteral("Удалить критерий >>>"), Schema::Criteria);
    m_groups[IctTools] = makeGroup(QStringLiteral("Добавление нового средства ИКТ"),
                                   QStringLiteral("Уже имеющиеся средства ИКТ:"),
                                   QStringLiteral("Удалить средство ИКТ >>>"), Schema::IctTools);
    std::tie(GroupBox1, Label1, Edit1, Button1, Label2, DBGrid1, Label7, DBNavigator1, DataSource1,
             ADOConnection1, ADODataSet1, ADOTable1) = m_groups[Disciplines].members();
    std::tie(GroupBox2, Label3, Edit2, Button2, Label4, DBGrid2, Label8, DBNavigator2, DataSource2,
             ADOConnection2, ADODataSet2, ADOTable2) = m_groups[Criteria].members();
    std::tie(GroupBox3, Label5, Edit3, Button3, Label6, DBGrid3, Label9, DBNavigator3, DataSource3,
             ADOConnection3, ADODataSet3, ADOTable3) = m_groups[IctTools].members();
    for (const ListGroup &group : m_groups)
        groups->addWidget(group.box);

    connect(Button1, &QPushButton::clicked, this, guarded(this, &Taddp::Button1Click));
    connect(Button2, &QPushButton::clicked, this, guarded(this, &Taddp::Button2Click));
    connect(Button3, &QPushButton::clicked, this, guarded(this, &Taddp::Button3Click));
}

Taddp::~Taddp()
{
    if (addp == this)
        addp = nullptr;
}

Taddp::ListGroup Taddp::makeGroup(const QString &caption, const QString &listCaption,
                                  const QString &deleteCaption, const QString &tableName)
{
    ListGroup group;
    group.box = new QGroupBox(caption);
    group.prompt = new QLabel(QStringLiteral("Введите название:"));
    group.edit = new QLineEdit;
    group.add = new QPushButton(QStringLiteral("Добавить"));
    group.add->setToolTip(QStringLiteral("Добавить название в справочник"));
    group.listCaption = new QLabel(listCaption);
    group.grid = new DataGrid;
    group.deleteCaption = new QLabel(deleteCaption);
    group.navigator = new RecordNavigator(RecordNavigator::Delete);
    std::tie(group.source, group.connection, group.query, group.table) = makeRecordSets(this);
    group.tableName = tableName;

    // Return in the name field adds the name, as the button does.
    connect(group.edit, &QLineEdit::returnPressed, group.add, &QPushButton::click);
    group.grid->setDataSource(group.source);
    group.navigator->setDataSource(group.source);

    // Prompt and edit box, the add button, the grid under its label, the navigator.
    auto *layout = new QVBoxLayout(group.box);
    auto *nameLine = new QHBoxLayout;
    nameLine->addWidget(group.prompt);
    nameLine->addWidget(group.edit, 1);
    layout->addLayout(nameLine);
    layout->addWidget(group.add, 0, Qt::AlignLeft);
    layout->addWidget(group.listCaption);
    layout->addWidget(group.grid, 1);
    auto *deleteLine = new QHBoxLayout;
    deleteLine->addWidget(group.deleteCaption);
    deleteLine->addWidget(group.navigator);
    deleteLine->addStretch(1);
    layout->addLayout(deleteLine);
    return group;
}

bool Taddp::prepare(const ListGroup &group)
{
    DBPath = publishedDatabasePath();
    if (DBPath.isEmpty())
        return false;
    connectToDatabase(*group.connection, DBPath, {group.table, group.query});
    group.table->setTableName(group.tableName);
    group.query->setSource(Statements::allRows(group.tableName));
    return true;
}

void Taddp::fillList(const ListGroup &group)
{
    if (!prepare(group))
        return;
    group.query->open();
    group.source->setDataSet(group.query);
    group.table->close();
    group.table->open();
}

void Taddp::FormShow()
{
    fillList(m_groups[Criteria]);
    fillList(m_groups[Disciplines]);
    fillList(m_groups[IctTools]);
}

void Taddp::addName(const ListGroup &group)
{
    if (!prepare(group))
        return;
    // The grid is about to be re-read: an edit still pending in it is written first, or
    // it would be lost.
    group.grid->postPending();
    if (!group.query->isOpen()) {
        group.query->open();
        group.source->setDataSet(group.query);
    }
    if (!group.table->isOpen())
        group.table->open();
    group.table->appendName(group.edit->text());
    dialogs().information(this, QStringLiteral("Данные добавлены."));
    // From now on the grid shows the whole table, the new row included.
    group.table->close();
    group.table->open();
    group.source->setDataSet(group.table);
    group.query->close();
    group.query->open();
    group.grid->viewport()->update();
}

void Taddp::Button1Click()
{
    addName(m_groups[Disciplines]);
}

void Taddp::Button2Click()
{
    addName(m_groups[Criteria]);
}

void Taddp::Button3Click()
{
    addName(m_groups[IctTools]);
}

void Taddp::FormClose(QCloseEvent *event)
{
    // An edit still pending in a grid is written before the window goes; one the database
    // refuses is dropped only when the user says so.
    if (!settlePendingEdits({DBGrid1, DBGrid2, DBGrid3})) {
        event->ignore();
        return;
    }
    // Qt::WA_DeleteOnClose destroys the window once the close has been processed.
    event->accept();
}
