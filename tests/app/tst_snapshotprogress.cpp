// The dialog shown while an Access file is read: only once the reading takes a while, and
// cancelled by its button.
#include "app/SnapshotProgress.h"

#include <QApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

class TestSnapshotProgress : public QObject
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
        SnapshotProgress progress(&window);
        const QString file = u"/tmp/старый архив.mdb"_s;
        QVERIFY(progress.keepWaiting(file));
        QVERIFY(!shownDialog()); // a short reading shows nothing

        QTest::qWait(SnapshotProgress::DelayMs + 50);
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

QTEST_MAIN(TestSnapshotProgress)
#include "tst_snapshotprogress.moc"
