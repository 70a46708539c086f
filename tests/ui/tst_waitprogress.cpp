// The dialog shown while the program waits (an Access file read, a file held by another
// program): only once the wait takes a while, and cancelled by its button.
#include "ui/WaitProgress.h"

#include <QApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

class TestWaitProgress : public QObject
{
    Q_OBJECT

    static QProgressDialog *shownDialog()
    {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *dialog = qobject_cast<QProgressDialog *>(widget);
                dialog && dialog->isVisible())
                return dialog;
        }
        return nullptr;
    }

private Q_SLOTS:
    void showsAfterAMomentAndCancels()
    {
        QWidget window;
        WaitProgress progress(&window);
        const QString file = u"Чтение файла Access «старый архив.mdb»…"_s;
        QVERIFY(progress.keepWaiting(file));
        QVERIFY(!shownDialog()); // a short reading shows nothing

        QTest::qWait(WaitProgress::DelayMs + 50);
        QVERIFY(progress.keepWaiting(file));
        QProgressDialog *dialog = shownDialog();
        QVERIFY(dialog);
        QVERIFY(dialog->labelText().contains(u"старый архив.mdb"_s));
        QVERIFY(dialog->isModal());

        dialog->findChild<QPushButton *>()->click();
        QVERIFY(!progress.keepWaiting(file));
        progress.finished();
        QVERIFY(!shownDialog());

        // The next reading starts afresh.
        QVERIFY(progress.keepWaiting(file));
        QVERIFY(!shownDialog());
        progress.finished();
    }
};

QTEST_MAIN(TestWaitProgress)
#include "tst_waitprogress.moc"
