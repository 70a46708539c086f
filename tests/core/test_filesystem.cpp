#include "core/FileSystem.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

using namespace Qt::StringLiterals;

// Folders and files for the cases, made open to every user so that the cases about
// permissions can be run as an unprivileged one (root may write anywhere).
class Place
{
public:
    Place()
    {
        QFile::setPermissions(m_dir.path(), QFile::Permissions(0x7777));
        QDir(m_dir.path()).mkpath(u"папка"_s);
        write(u"файл.txt"_s);
        QDir(m_dir.path()).mkpath(u"только-чтение"_s);
        write(u"только-чтение/база.mdb"_s);
        QFile::setPermissions(path(u"только-чтение"_s), QFile::ReadOwner | QFile::ExeOwner |
                                                            QFile::ReadOther | QFile::ExeOther);
        write(u"закрытый.mdb"_s, QFile::WriteOwner);
        write(u"неизменяемый.mdb"_s, QFile::ReadOwner | QFile::ReadOther);
        QDir(m_dir.path()).mkpath(u"запертая"_s);
        write(u"запертая/база.mdb"_s);
        QFile::setPermissions(path(u"запертая"_s), QFile::ReadOwner | QFile::WriteOwner);
    }
    ~Place()
    {
        for (const QString &folder : {u"только-чтение"_s, u"запертая"_s})
            QFile::setPermissions(path(folder), QFile::Permissions(0x7777));
    }

    QString root() const { return m_dir.path(); }
    QString path(const QString &name) const { return m_dir.filePath(name); }

private:
    void write(const QString &name, QFile::Permissions permissions = QFile::Permissions(0x6666))
    {
        QFile file(path(name));
        file.open(QIODevice::WriteOnly);
        file.write("x");
        file.close();
        file.setPermissions(permissions);
    }

    QTemporaryDir m_dir{QDir::tempPath() + u"/orvinta-fs-XXXXXX"_s};
};

class TestFileSystem : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void causes_data();
    void causes();
    void causesOfPermissions_data();
    void causesOfPermissions();
    void kinds();
};

namespace {

void addCase(const char *name, const QString &path, FileUse use, const QString &told)
{
    QTest::newRow(name) << path << int(use) << told;
}

} // namespace

void TestFileSystem::causes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("use");
    QTest::addColumn<QString>("told"); // a part of the answer; empty: nothing in the way
    // $PLACE stands for the temporary folder of the case.
    addCase("a file in /proc", u"/proc/orv.pdf"_s, FileUse::Create,
            u"«/proc» — служебная папка системы"_s);
    addCase("a device", u"/dev/null"_s, FileUse::Create, u"«/dev/null» — не обычный файл"_s);
    addCase("a kernel file read", u"/proc/kmsg"_s, FileUse::Read, u"не обычный файл"_s);
    addCase("a folder", u"$PLACE/папка"_s, FileUse::Create, u"«$PLACE/папка» — это папка"_s);
    addCase("a folder opened", u"$PLACE/папка"_s, FileUse::Write, u"это папка, а не файл"_s);
    addCase("a missing folder", u"$PLACE/нет/отчёт.pdf"_s, FileUse::Create,
            u"папки «$PLACE/нет» нет"_s);
    addCase("a file for a folder", u"$PLACE/файл.txt/база.mdb"_s, FileUse::Create,
            u"«$PLACE/файл.txt» — файл, а не папка"_s);
    addCase("a missing file", u"$PLACE/нет.mdb"_s, FileUse::Read, u"файла «$PLACE/нет.mdb» нет"_s);
    addCase("a new file", u"$PLACE/новый.pdf"_s, FileUse::Create, QString());
    addCase("a file replaced", u"$PLACE/файл.txt"_s, FileUse::Create, QString());
    addCase("a file written", u"$PLACE/файл.txt"_s, FileUse::Write, QString());
}

void TestFileSystem::causes()
{
    QFETCH(QString, path);
    QFETCH(int, use);
    QFETCH(QString, told);
    const Place place;
    path.replace(u"$PLACE"_s, place.root());
    told.replace(u"$PLACE"_s, place.root());
    QElapsedTimer timer;
    timer.start();
    const QString problem = fileUseProblem(path, FileUse(use));
    // Only names and permissions are looked at: nothing is read that could block.
    QVERIFY(timer.elapsed() < 1000);
    if (told.isEmpty())
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    else
        QVERIFY2(problem.contains(told), qPrintable(problem));
}

void TestFileSystem::causesOfPermissions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("use");
    QTest::addColumn<QString>("told");
    QTest::newRow("a read-only folder") << u"только-чтение/новая.mdb"_s << int(FileUse::Create)
                                        << u"нет прав на запись в папку «$PLACE/только-чтение»"_s;
    QTest::newRow("a journal in a read-only folder")
        << u"только-чтение/база.mdb"_s << int(FileUse::Write)
        << u"нет прав на запись в папку «$PLACE/только-чтение», а рядом с файлом базы данных "
           u"пишется её журнал"_s;
    QTest::newRow("read from a read-only folder")
        << u"только-чтение/база.mdb"_s << int(FileUse::Read) << QString();
    QTest::newRow("a file not to be read") << u"закрытый.mdb"_s << int(FileUse::Read)
                                           << u"нет прав на чтение файла «$PLACE/закрытый.mdb»"_s;
    QTest::newRow("a file not to be written")
        << u"неизменяемый.mdb"_s << int(FileUse::Write)
        << u"нет прав на запись в файл «$PLACE/неизменяемый.mdb»"_s;
    QTest::newRow("a folder not to be entered")
        << u"запертая/база.mdb"_s << int(FileUse::Read)
        << u"нет прав на доступ к папке «$PLACE/запертая»"_s;
}

void TestFileSystem::causesOfPermissions()
{
    if (::geteuid() == 0) {
        // Root may read and write anything: the cases run again as nobody.
        const QString setpriv = QStandardPaths::findExecutable(u"setpriv"_s);
        if (setpriv.isEmpty())
            QSKIP("setpriv is needed to run these cases as an unprivileged user");
        QFETCH(QString, name);
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(setpriv, {u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s,
                              QCoreApplication::applicationFilePath(), u"-silent"_s,
                              u"causesOfPermissions:%1"_s.arg(
                                  QString::fromLatin1(QTest::currentDataTag()))});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitCode(), 0);
        return;
    }
    QFETCH(QString, name);
    QFETCH(int, use);
    QFETCH(QString, told);
    const Place place;
    told.replace(u"$PLACE"_s, place.root());
    const QString problem = fileUseProblem(place.path(name), FileUse(use));
    if (told.isEmpty())
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    else
        QVERIFY2(problem.contains(told), qPrintable(problem));
}

void TestFileSystem::kinds()
{
    QCOMPARE(fileSystemKind(u"/proc/self/status"_s), FileSystemKind::Virtual);
    QCOMPARE(fileSystemKind(u"/sys/kernel"_s), FileSystemKind::Virtual);
    QCOMPARE(fileSystemKind(u"/dev/null"_s), FileSystemKind::Virtual);
    // A path that does not exist yet is judged by the folder that does.
    QCOMPARE(fileSystemKind(QDir::tempPath() + u"/нет/ещё/файл.mdb"_s), FileSystemKind::Local);
}

QTEST_GUILESS_MAIN(TestFileSystem)
#include "test_filesystem.moc"
