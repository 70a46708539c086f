#include "entry/Unit2.h"

#include "db/RecordSet.h"
#include "db/Schema.h"
#include "db/SqlDialect.h"
#include "db/Statements.h"
#include "db/forms/DataGrid.h"
#include "db/forms/DataSource.h"
#include "db/forms/DatabasePath.h"
#include "db/forms/GridReport.h"
#include "db/forms/RecordNavigator.h"
#include "db/forms/ReferenceList.h"

#include "core/Clock.h"
#include "core/FormatSettings.h"
#include "ui/Dialogs.h"
#include "ui/ErrorGuard.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <initializer_list>
#include <utility>

using namespace Qt::StringLiterals;

QPointer<Tadddata> adddata;

QString genitiveMonthName(int month)
{
    static const std::array<QString, 12> names{
        u"Января"_s, u"Февраля"_s, u"Марта"_s,    u"Апреля"_s,  u"Мая"_s,    u"Июня"_s,
        u"Июля"_s,   u"Августа"_s, u"Сентября"_s, u"Октября"_s, u"Ноября"_s, u"Декабря"_s};
    return month >= 1 && month <= 12 ? names.at(size_t(month - 1)) : QString();
}

QString storedDateText(const QDate &date)
{
    const QString separator = FormatSettings::instance().dateSeparator();
    return u"%1%2%3%2%4"_s.arg(u"%1"_s.arg(date.day(), 2, 10, QChar(u'0')), separator,
                               u"%1"_s.arg(date.month(), 2, 10, QChar(u'0')),
                               u"%1"_s.arg(date.year(), 4, 10, QChar(u'0')));
}

namespace {

QLabel *boldLabel(const QString &text = {})
{
    auto *label = new QLabel(text);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

QComboBox *selectionList()
{
    QComboBox *const list = editableNameList(nullptr);
    list->setMinimumContentsLength(16);
    list->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return list;
}

// Each caption names the control beside it.
void setBuddies(std::initializer_list<std::pair<QLabel *, QWidget *>> captions)
{
    for (const auto &[caption, control] : captions)
        caption->setBuddy(control);
}

} // namespace

Tadddata::Tadddata(QWidget *parent) : DatabaseWindow(parent), Bevel1(new QFrame(this))
{
    adddata = this;
    setWindowTitle(u"Ввод данных статистики"_s);
    resize(900, 640);

    auto *client = new QVBoxLayout(this);
    client->setContentsMargins(0, 0, 0, 0);
    client->addWidget(Bevel1);
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);

    Label2 = new QLabel(Bevel1);
    Label2->hide();

    buildEntryGroup();
    buildGridGroup();

    std::tie(DataSource1, ADOConnection1, ADODataSet1, ADOTable1) = makeRecordSets(this);
    std::tie(DataSource2, ADOConnection2, ADODataSet2, ADOTable2) = makeRecordSets(this);
    std::tie(DataSource3, ADOConnection3, ADODataSet3, ADOTable3) = makeRecordSets(this);
    std::tie(DataSource4, ADOConnection4, ADODataSet4, ADOTable4) = makeRecordSets(this);
    DBGrid1->setDataSource(DataSource4);
    DBNavigator1->setDataSource(DataSource4);

    GridReport1 = new TGridReport(this);
    GridReport1->setDBGrid(DBGrid1);

    auto *groups = new QVBoxLayout(Bevel1);
    groups->addWidget(GroupBox1);
    groups->addWidget(GroupBox2, 1);

    // The tab goes down the window as the user reads it, not in the order of creation.
    const std::array<QWidget *, 9> tabOrder{ComboBox1, ComboBox2, ComboBox3, Edit1,  Button1,
                                            ComboBox4, ComboBox5, DBGrid1,   Button2};
    for (size_t i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder.at(i - 1), tabOrder.at(i));

    connect(Button1, &QPushButton::clicked, this, guarded(this, &Tadddata::Button1Click));
    // Return in the value field stores it, as «Добавить» does: a day's values go in without
    // the mouse.
    connect(Edit1, &QLineEdit::returnPressed, Button1, &QPushButton::click);
    connect(Button2, &QPushButton::clicked, this, guarded(this, &Tadddata::Button2Click));
    // Every change of the criterion text, chosen or typed; ComboBox4 alone runs nothing.
    connect(ComboBox5, &QComboBox::currentTextChanged, this,
            guarded(this, &Tadddata::ComboBox5Change));
}

Tadddata::~Tadddata()
{
    if (adddata == this)
        adddata = nullptr;
}

// The upper group: today's date, the value and its three names, "Добавить".
void Tadddata::buildEntryGroup()
{
    GroupBox1 = new QGroupBox(u"Добавление новых данных"_s);
    Label1 = new QLabel(u"Значение критерия:"_s);
    Label6 = boldLabel(u"Сегодня:"_s);
    dd = boldLabel();
    m = boldLabel();
    y = boldLabel();
    // Spelt with a Latin "a", as the window has always shown it.
    Label10 = boldLabel(u"годa."_s);
    Edit1 = new QLineEdit;
    StaticText1 = new QLabel(u"Дисциплина:"_s);
    ComboBox1 = selectionList();
    StaticText2 = new QLabel(u"Критерий:"_s);
    ComboBox2 = selectionList();
    StaticText3 = new QLabel(u"Средство ИКТ:"_s);
    ComboBox3 = selectionList();
    Button1 = new QPushButton(u"Добавить"_s);
    Button1->setToolTip(u"Записать значение с сегодняшней датой"_s);
    setBuddies({{Label1, Edit1},
                {StaticText1, ComboBox1},
                {StaticText2, ComboBox2},
                {StaticText3, ComboBox3}});

    auto *dateLine = new QHBoxLayout;
    for (QLabel *part : {Label6, dd, m, y, Label10})
        dateLine->addWidget(part);
    dateLine->addStretch(1);

    auto *layout = new QGridLayout(GroupBox1);
    layout->addLayout(dateLine, 0, 0, 1, 6);
    layout->addWidget(StaticText1, 1, 0);
    layout->addWidget(ComboBox1, 1, 1);
    layout->addWidget(StaticText2, 1, 2);
    layout->addWidget(ComboBox2, 1, 3);
    layout->addWidget(StaticText3, 1, 4);
    layout->addWidget(ComboBox3, 1, 5);
    layout->addWidget(Label1, 2, 0);
    layout->addWidget(Edit1, 2, 1);
    layout->addWidget(Button1, 2, 5, Qt::AlignRight);
    for (const int column : {1, 3, 5})
        layout->setColumnStretch(column, 1);
}

// The lower group: the selection of the grid's rows, the grid, its navigator, "Печать".
void Tadddata::buildGridGroup()
{
    GroupBox2 = new QGroupBox(u"Редактирование и печать"_s);
    Label3 = new QLabel(u"Добавить запись"_s);
    Label4 = new QLabel(u"Удалить запись"_s);
    Label5 = boldLabel(u"Внимание! Изменять нужно только колнку \"Значение\"."_s);
    DBGrid1 = new DataGrid;
    ComboBox4 = selectionList();
    StaticText4 = new QLabel(u"Дисциплина:"_s);
    StaticText5 = new QLabel(u"Критерий:"_s);
    ComboBox5 = selectionList();
    setBuddies({{StaticText4, ComboBox4}, {StaticText5, ComboBox5}});
    DBNavigator1 = new RecordNavigator(RecordNavigator::Insert | RecordNavigator::Delete);
    Button2 = new QPushButton(u"Печать"_s);
    Button2->setToolTip(u"Показать отчёт по значениям таблицы перед печатью"_s);

    auto *selection = new QHBoxLayout;
    selection->addWidget(StaticText4);
    selection->addWidget(ComboBox4, 1);
    selection->addSpacing(16);
    selection->addWidget(StaticText5);
    selection->addWidget(ComboBox5, 1);

    // Each caption stands centred above its navigator button: the buttons are spaced as far
    // apart as the captions.
    constexpr int captionGap = 12;
    const int captionWidth = std::max(Label3->sizeHint().width(), Label4->sizeHint().width());
    const int buttonWidth = DBNavigator1->insertButton()->minimumWidth();
    for (QLabel *caption : {Label3, Label4}) {
        caption->setFixedWidth(captionWidth);
        caption->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    }
    const int inset = std::max(0, (captionWidth - buttonWidth) / 2);
    DBNavigator1->layout()->setContentsMargins(inset, 0, inset, 0);
    DBNavigator1->layout()->setSpacing(std::max(0, captionWidth - buttonWidth) + captionGap);

    auto *captions = new QHBoxLayout;
    captions->setSpacing(captionGap);
    captions->addWidget(Label3);
    captions->addWidget(Label4);
    auto *navigation = new QVBoxLayout;
    navigation->setSpacing(2);
    navigation->addLayout(captions);
    navigation->addWidget(DBNavigator1);

    auto *tools = new QHBoxLayout;
    tools->addLayout(navigation);
    tools->addStretch(1);
    tools->addWidget(Button2, 0, Qt::AlignBottom);

    auto *layout = new QVBoxLayout(GroupBox2);
    layout->addLayout(selection);
    layout->addWidget(Label5);
    layout->addWidget(DBGrid1, 1);
    layout->addLayout(tools);
}

void Tadddata::showDateLine()
{
    // Straight from the date: the process-wide date settings play no part here.
    const QDate today = currentDateTime().date();
    dd->setText(u"%1"_s.arg(today.day(), 2, 10, QChar(u'0')));
    m->setText(genitiveMonthName(today.month()));
    y->setText(u"%1"_s.arg(today.year(), 4, 10, QChar(u'0')));
}

void Tadddata::connectValues()
{
    connectToDatabase(*ADOConnection4, DBPath, {ADOTable4, ADODataSet4});
    ADOTable4->setTableName(Schema::Values);
}

void Tadddata::FormShow()
{
    showDateLine();

    DBPath = publishedDatabasePath();
    if (DBPath.isEmpty())
        return;

    // Every stored value; the table record set is only named now, and opened when storing.
    connectValues();
    ADODataSet4->setSource(Statements::allRows(Schema::Values));
    ADODataSet4->open();
    DataSource4->setDataSet(ADODataSet4);

    // Each list reads the path from the main window afresh and is left empty without one.
    if (const QString path = publishedDatabasePath(); !path.isEmpty()) {
        readReferenceList(path, *ADOConnection1, *ADODataSet1, *ADOTable1, Schema::Disciplines,
                          {ComboBox1, ComboBox4}, DataSource1);
    }
    if (const QString path = publishedDatabasePath(); !path.isEmpty()) {
        readReferenceList(path, *ADOConnection2, *ADODataSet2, *ADOTable2, Schema::Criteria,
                          {ComboBox2, ComboBox5}, DataSource2);
    }
    if (const QString path = publishedDatabasePath(); !path.isEmpty()) {
        readReferenceList(path, *ADOConnection3, *ADODataSet3, *ADOTable3, Schema::IctTools,
                          {ComboBox3}, DataSource3);
    }
}

void Tadddata::Button1Click()
{
    FormatSettings::instance().setDateSeparator(u'.');
    const QString date = storedDateText(currentDateTime().date());

    // The grid is re-read below: an edit still pending in it is written first, not lost.
    DBGrid1->postPending();
    if (!ADOTable4->isOpen())
        ADOTable4->open();
    ADOTable4->appendRecord({ComboBox1->currentText(), ComboBox2->currentText(),
                             ComboBox3->currentText(), Edit1->text(), date});
    dialogs().information(this, u"Данные добавлены в Базу данных"_s);

    // From now on the grid shows the whole table, the new row included: the last one, shown
    // rather than the top of the table.
    ADOTable4->close();
    ADOTable4->open();
    DataSource4->setDataSet(ADOTable4);
    DBGrid1->showLastRow();
    // The boxes and the value keep their texts, so the same value can be stored again; the
    // value is selected, so the next one typed replaces it.
    Edit1->selectAll();
    Edit1->setFocus();
}

void Tadddata::ComboBox5Change()
{
    // Closing the record sets discards what they hold unwritten; the user's edit goes first.
    DBGrid1->postPending();
    ADOTable4->close();
    ADODataSet4->close();
    connectValues();
    ADODataSet4->setSource(
        Statements::valuesOf(ComboBox4->currentText(), ComboBox5->currentText()));
    Label2->setText(ADODataSet4->commandText());
    // A statement that fails leaves the grid without rows until a later change opens one.
    ADODataSet4->open();
    DataSource4->setDataSet(ADODataSet4);
}

void Tadddata::Button2Click()
{
    GridReport1->setCaption(u"Данные по дисциплине "_s + ComboBox4->currentText() + u"."_s);
    const QScopedValueRollback printing(m_printing, true);
    GridReport1->Print();
}

void Tadddata::FormClose(QCloseEvent *event)
{
    // The preview's handler is still running on this window: it may not go before it ends.
    if (m_printing) {
        dialogs().information(this, u"Сначала закройте окно предварительного просмотра отчёта."_s);
        event->ignore();
        return;
    }
    // A change still pending in the grid is written before the window goes, whichever record
    // set the grid shows; one the database refuses is dropped only when the user says so.
    if (!settlePendingEdits({DBGrid1})) {
        event->ignore();
        return;
    }
    ADODataSet4->close();
    // Qt::WA_DeleteOnClose destroys the window once the close has been processed.
    event->accept();
}
