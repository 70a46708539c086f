// Printing as a user meets it: the file a print goes to, the set-up kept from one print to
// the next, a failed print followed by one that works, and no file ever printed over.
#include "analysis/Unit4.h"
#include "analysis/Unit7.h"
#include "core/Clock.h"
#include "db/RecordSet.h"
#include "db/forms/DatabasePath.h"
#include "report/Report.h"
#include "report/UnitReport.h"
#include "tests/report/ReportFixture.h"
#include "tests/support/FakeDialogs.h"
#include "ui/Printer.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

enum class Print
{
    LineChart,
    Pie,
    Report
};

// The three prints of the program over one small database, each as its button runs it.
class Printouts
{
public:
    Printouts() : m_report(u"Дисциплина TEXT, Значение REAL"_s)
    {
        m_report.addRows(3, [](int i) { return QVariantList{u"Физика"_s, i + 0.5}; });
        m_records = m_report.open();
        db.addNames(u"Дисциплины"_s, {u"Физика"_s, u"Химия"_s});
        db.addValue(u"Физика"_s, u"Скорость"_s, u"Проектор"_s, 4.0);
        db.addValue(u"Химия"_s, u"Скорость"_s, u"Проектор"_s, 5.0);
        m_pathLabel.setText(db.path());
        publishDatabasePathLabel(&m_pathLabel);
    }
    ~Printouts() { publishDatabasePathLabel(nullptr); }

    void print(Print what)
    {
        switch (what) {
        case Print::LineChart: {
            Tanaliz window;
            window.setAttribute(Qt::WA_DontShowOnScreen);
            window.show();
            window.ComboBox1->setEditText(u"Физика"_s);
            window.ComboBox2->setEditText(u"Скорость"_s);
            window.ComboBox3->setEditText(u"Проектор"_s);
            window.Button1->click();
            window.Button2->click();
            break;
        }
        case Print::Pie: {
            Teff window;
            window.setAttribute(Qt::WA_DontShowOnScreen);
            window.show();
            window.ComboBox1->setEditText(u"Скорость"_s);
            window.Button1->click();
            window.Button2->click();
            break;
        }
        case Print::Report:
            // The fake preview paints on its printer, as printing from the preview does.
            buildGridReport(*m_records,
                            {{u"Дисциплина"_s, 120, Qt::AlignLeft, {}},
                             {u"Значение"_s, 80, Qt::AlignRight, {}}},
                            u"Данные по дисциплине Физика."_s)
                ->preview(nullptr);
            break;
        }
    }

    TestDatabase db;

private:
    ReportFixture m_report;
    std::unique_ptr<QueryRecordSet> m_records;
    QLabel m_pathLabel;
};

QString captionOf(Print what)
{
    switch (what) {
    case Print::LineChart:
        return u"Анализ данных"_s;
    case Print::Pie:
        return u"Анализ (сравнение) эффективности"_s;
    case Print::Report:
        return u"Данные по дисциплине Физика"_s;
    }
    return {};
}

void addPrintRows()
{
    QTest::addColumn<Print>("what");
    QTest::newRow("line chart") << Print::LineChart;
    QTest::newRow("pie") << Print::Pie;
    QTest::newRow("report") << Print::Report;
}

bool isPdf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(5) == "%PDF-" && file.size() > 500;
}

} // namespace

class TestPrintJobs : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_home;
    QByteArray m_realHome;
    std::unique_ptr<FixedClock> m_clock;
    std::unique_ptr<FakeDialogs> m_dialogs;

    QString home(const QString &name) const { return m_home->filePath(name); }
    // The PDF printer with the given file, as «Параметры печати» leaves it.
    static void printToFile(const QString &file)
    {
        QPrinter &printer = currentPrinter();
        printer.setOutputFileName(file);
        printer.setOutputFormat(QPrinter::PdfFormat);
    }

private Q_SLOTS:
    void init();
    void cleanup();
    void withoutAFileEachPrintGoesToANewDefaultFile_data() { addPrintRows(); }
    void withoutAFileEachPrintGoesToANewDefaultFile();
    void aFailedPrintLeavesThePrinterUsable_data() { addPrintRows(); }
    void aFailedPrintLeavesThePrinterUsable();
    void aChartPrintedAfterTheReportKeepsTheReportFile();
    void theFileChosenInTheSetUpIsUsedByTheNextPrints();
};

void TestPrintJobs::init()
{
    // The default file lies in the documents of a home of the test's own.
    m_home = std::make_unique<QTemporaryDir>();
    m_realHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(m_home->path()));
    qunsetenv("XDG_CONFIG_HOME");
    m_clock = std::make_unique<FixedClock>(QDateTime(QDate(2026, 12, 9), QTime(10, 0)));
    m_dialogs = std::make_unique<FakeDialogs>();
    printToFile({});
    currentPrinter().setPageOrientation(QPageLayout::Portrait);
}

void TestPrintJobs::cleanup()
{
    m_dialogs.reset();
    m_clock.reset();
    qputenv("HOME", m_realHome);
    printToFile({});
    m_home.reset();
}

void TestPrintJobs::withoutAFileEachPrintGoesToANewDefaultFile()
{
    QFETCH(Print, what);
    m_dialogs->previewPrinted = true;
    Printouts printouts;
    printouts.print(what);
    printouts.print(what);

    const QString folder = home(u"Documents/Орвинта/"_s) + captionOf(what);
    const QStringList expected{folder + u" 09.12.2026.pdf"_s, folder + u" 09.12.2026 (2).pdf"_s};
    QVERIFY2(m_dialogs->errors().isEmpty(), qPrintable(m_dialogs->errors().join(u'\n')));
    QCOMPARE(m_dialogs->printedFiles(), expected);
    QVERIFY(isPdf(expected.at(0)));
    QVERIFY(isPdf(expected.at(1)));
    QVERIFY(currentPrinter().outputFileName().isEmpty());
}

void TestPrintJobs::aFailedPrintLeavesThePrinterUsable()
{
    QFETCH(Print, what);
    m_dialogs->previewPrinted = true;
    Printouts printouts;
    printToFile(home(u"нет такой папки/печать.pdf"_s));
    if (what == Print::Report) {
        // The preview's own dialog refuses a file it cannot write; what can still fail is the
        // painting, on a printer that cannot start.
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, printouts.print(what));
    } else {
        printouts.print(what);
        QCOMPARE(m_dialogs->errors().size(), 1);
        QVERIFY2(m_dialogs->errors().constFirst().contains(
                     u"папки «%1» нет"_s.arg(home(u"нет такой папки"_s))),
                 qPrintable(m_dialogs->errors().constFirst()));
    }
    QVERIFY(m_dialogs->printedFiles().isEmpty());

    printToFile(home(u"печать.pdf"_s));
    printouts.print(what);
    QCOMPARE(m_dialogs->printedFiles(), QStringList{home(u"печать.pdf"_s)});
    QVERIFY(isPdf(home(u"печать.pdf"_s)));
}

void TestPrintJobs::aChartPrintedAfterTheReportKeepsTheReportFile()
{
    if (pdfReaderMissing())
        QSKIP("pdftotext is needed to read the report back");
    m_dialogs->previewPrinted = true;
    Printouts printouts;
    const QString file = home(u"отчёт.pdf"_s);
    printToFile(file);
    printouts.print(Print::Report);
    printouts.print(Print::LineChart);

    QCOMPARE(m_dialogs->printedFiles(), (QStringList{file, home(u"отчёт (2).pdf"_s)}));
    QVERIFY(pdfPageTexts(file).value(0).contains(u"Данные по дисциплине Физика."_s));
    QVERIFY(isPdf(home(u"отчёт (2).pdf"_s)));
}

void TestPrintJobs::theFileChosenInTheSetUpIsUsedByTheNextPrints()
{
    // The real set-up dialog: the user chooses a file by typing it, as "~/…", and confirms.
    QString acceptText;
    QString shownFile;
    QString refusal;
    m_dialogs->onPrinterSetup = [&](QPrinter *printer) {
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QPrintDialog *dialog = nullptr;
            QMessageBox *box = nullptr;
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                if (!widget->isVisible())
                    continue;
                if (auto *print = qobject_cast<QPrintDialog *>(widget))
                    dialog = print;
                if (auto *message = qobject_cast<QMessageBox *>(widget))
                    box = message;
            }
            if (box) {
                // The dialog refused the file: the test fails instead of waiting for an answer.
                refusal = box->text();
                box->reject();
                if (dialog)
                    dialog->reject();
                return;
            }
            if (!dialog || !acceptText.isEmpty())
                return;
            auto *fileName = dialog->findChild<QLineEdit *>(u"filename"_s);
            QPushButton *ok = dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok);
            if (!fileName || !ok) {
                dialog->reject();
                return;
            }
            shownFile = fileName->text();
            fileName->setText(u"~/pie.pdf"_s);
            acceptText = ok->text();
            // Outside this timer's slot, where a box that the dialog opens can be answered.
            QMetaObject::invokeMethod(ok, &QPushButton::click, Qt::QueuedConnection);
        });
        poll.start(10);
        QtDialogs().printerSetup(nullptr, printer);
    };
    dialogs().printerSetup(nullptr, &currentPrinter());
    QCOMPARE(refusal, QString());
    QCOMPARE(acceptText, u"Сохранить параметры"_s);
    QCOMPARE(shownFile, home(u"Documents/Орвинта/Орвинта 09.12.2026.pdf"_s));
    QCOMPARE(currentPrinter().outputFileName(), home(u"pie.pdf"_s));

    m_dialogs->previewPrinted = true;
    Printouts printouts;
    printouts.print(Print::Pie);
    printouts.print(Print::Report);
    QCOMPARE(m_dialogs->printedFiles(), (QStringList{home(u"pie.pdf"_s), home(u"pie (2).pdf"_s)}));
    QVERIFY(isPdf(home(u"pie.pdf"_s)));
    QVERIFY(isPdf(home(u"pie (2).pdf"_s)));
}

QTEST_MAIN(TestPrintJobs)
#include "test_printjobs.moc"
