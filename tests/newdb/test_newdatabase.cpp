#include "newdb/NewDatabaseDialog.h"

#include "db/Database.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/TestDatabase.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestNewDatabase : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void makesADatabase_data();
    void makesADatabase();
    void neverReplacesAFile();
};

void TestNewDatabase::makesADatabase_data()
{
    QTest::addColumn<bool>("withSample");
    QTest::addColumn<QString>("csv"); // empty: no values of the user's
    QTest::addColumn<int>("values");
    QTest::newRow("empty") << false << QString() << 0;
    QTest::newRow("with sample data") << true << QString() << -1;
    QTest::newRow("from a spreadsheet")
        << false
        << u"Дисциплина;Критерий;Средство ИКТ;Значение;Дата\n"
           "Физика;Время;Проектор;4,5;01.02.2024\nХимия;Время;Доска;3;\n"_s
        << 2;
}

void TestNewDatabase::makesADatabase()
{
    QFETCH(bool, withSample);
    QFETCH(QString, csv);
    QFETCH(int, values);
    FakeDialogs dialogs;
    QTemporaryDir dir;
    NewDatabaseDialog dialog;
    dialog.show();
    // Chosen in the save dialog, without its extension: the dialog adds it.
    dialogs.fileToSave = dir.filePath(u"школа"_s);
    dialog.chooseFile->click();
    (withSample ? dialog.sample : dialog.empty)->setChecked(true);
    if (!csv.isEmpty()) {
        QFile file(dir.filePath(u"значения.csv"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(csv.toUtf8());
        file.close();
        dialog.fillFrom->setChecked(true);
        dialog.sourceEdit->setText(file.fileName());
    }
    QVERIFY(dialog.create->isEnabled());
    dialog.create->click();

    const QString made = dir.filePath(u"школа.mdb"_s);
    QVERIFY2(dialogs.errors().isEmpty(), qPrintable(dialogs.errors().join(u'\n')));
    QCOMPARE(dialogs.informations().size(), 1);
    const QString told = dialogs.informations().constFirst();
    QVERIFY2(told.contains(made) && told.contains(u"«Файл → Открыть базу данных»"_s),
             qPrintable(told));
    // The program opens it.
    const auto connection = Database::open(made)->connect();
    const qint64 count = connection->count({u"SELECT * FROM Значения"_s, {}});
    if (values < 0)
        QVERIFY(count > 100);
    else
        QCOMPARE(count, values);
}

void TestNewDatabase::neverReplacesAFile()
{
    FakeDialogs dialogs;
    TestDatabase existing;
    existing.addValue(u"Физика"_s, u"Время"_s, u"Проектор"_s, 5.0);
    NewDatabaseDialog dialog;
    dialog.fileEdit->setText(existing.path());
    dialog.create->click();
    QCOMPARE(dialogs.errors().size(), 1);
    QVERIFY2(dialogs.errors().constFirst().contains(u"не будет заменён"_s),
             qPrintable(dialogs.errors().constFirst()));
    QVERIFY(dialogs.informations().isEmpty());
    QCOMPARE(existing.scalar(u"SELECT count(*) FROM Значения"_s).toInt(), 1);
}

QTEST_MAIN(TestNewDatabase)
#include "test_newdatabase.moc"
