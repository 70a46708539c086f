#include "app/InstanceGuard.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace {

constexpr int processTimeoutMs = 60000;

// The pid written into a lock file, or 0 when there is none.
qint64 lockOwner(const QString &lockFile)
{
    QFile file(lockFile);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return file.readLine().trimmed().toLongLong();
}

// Whether the process ends within the timeout. QProcess notices the end of its child from
// the event loop, so a process that ended while a QTRY_ macro spun that loop is already
// NotRunning, and waitForFinished() would report false for it.
bool finishes(QProcess &process)
{
    return QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; },
                           processTimeoutMs);
}

// Whether the process is still running after a while, with the event loop spinning.
bool stillRunningAfter(QProcess &process, int ms)
{
    QTest::qWait(ms);
    return process.state() == QProcess::Running;
}

// A real orvinta process whose runtime folder (and so single-instance marker) is `folder`.
class Orvinta : public QProcess
{
public:
    explicit Orvinta(const QString &folder)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_RUNTIME_DIR"_s, folder);
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        setProcessEnvironment(environment);
        setProgram(QString::fromUtf8(ORVINTA_EXECUTABLE));
        setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    ~Orvinta() override
    {
        if (state() != QProcess::NotRunning) {
            kill();
            waitForFinished();
        }
    }
};

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void unusableFolderStartsUnguarded();
    void secondProcessEndsAndFirstStays();
    void secondProcessBringsWindowForward();
    void staleLockOfKilledProcessIsTakenOver();

private:
    // Starts an instance and waits until it holds the marker and listens.
    void startFirst(Orvinta &process, const InstanceGuard &marker);
};

void TestSingleInstance::startFirst(Orvinta &process, const InstanceGuard &marker)
{
    process.start();
    QVERIFY(process.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(lockOwner(marker.lockFileName()), process.processId(),
                              processTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker.serverName()), processTimeoutMs);
}

void TestSingleInstance::unusableFolderStartsUnguarded()
{
    // No marker can be made in a folder that does not exist: every start runs, unguarded.
    InstanceGuard first(u"/nonexistent/orvinta-test"_s);
    InstanceGuard second(u"/nonexistent/orvinta-test"_s);
    QVERIFY(!first.IsAlreadyRunning(u"Орвинта"_s));
    QVERIFY(!second.IsAlreadyRunning(u"Орвинта"_s));
}

void TestSingleInstance::secondProcessEndsAndFirstStays()
{
    QTemporaryDir runtime;
    const InstanceGuard marker(runtime.path());
    Orvinta first(runtime.path());
    startFirst(first, marker);

    Orvinta second(runtime.path());
    second.start();
    QVERIFY(finishes(second));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);

    QVERIFY(stillRunningAfter(first, 500));
    QCOMPARE(lockOwner(marker.lockFileName()), first.processId());
}

void TestSingleInstance::secondProcessBringsWindowForward()
{
    // This test process is the running instance: its minimised window must come back.
    QTemporaryDir runtime;
    InstanceGuard running(runtime.path());
    QVERIFY(!running.IsAlreadyRunning(u"Орвинта"_s));
    QWidget window;
    window.setWindowTitle(u"Орвинта"_s);
    window.showMinimized();
    QWidget other;
    other.setWindowTitle(u"Другое окно"_s);
    other.showMinimized();
    QTRY_VERIFY(window.isMinimized());

    Orvinta second(runtime.path());
    second.start();
    QTRY_VERIFY_WITH_TIMEOUT(!window.isMinimized(), processTimeoutMs);
    QVERIFY(finishes(second));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(window.windowTitle(), u"Орвинта"_s);
    QVERIFY(other.isMinimized());
}

void TestSingleInstance::staleLockOfKilledProcessIsTakenOver()
{
    QTemporaryDir runtime;
    const InstanceGuard marker(runtime.path());
    Orvinta killed(runtime.path());
    startFirst(killed, marker);
    killed.kill();
    QVERIFY(finishes(killed));
    // The killed instance left its marker and socket behind.
    QVERIFY(QFile::exists(marker.lockFileName()));
    QVERIFY(QFile::exists(marker.serverName()));

    Orvinta next(runtime.path());
    startFirst(next, marker);
    QVERIFY(stillRunningAfter(next, 500));
}

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
