#include "app/ShellCommands.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

void openDocument(const QString &bareName)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::current().absoluteFilePath(bareName)));
}

bool canShowHelpFile(const QString &bareName)
{
    if (!QFileInfo(QDir::current().absoluteFilePath(bareName)).isFile())
        return false;
    for (const char *viewer : {"xchm", "kchmviewer", "okular", "chmsee"}) {
        if (!QStandardPaths::findExecutable(QString::fromLatin1(viewer)).isEmpty())
            return true;
    }
    return false;
}

QString findCalculator()
{
    static const char16_t *const calculators[] = {
        u"gnome-calculator", u"kcalc", u"mate-calc", u"galculator", u"qalculate-gtk", u"xcalc",
    };
    for (const char16_t *name : calculators) {
        const QString program = QStandardPaths::findExecutable(QString::fromUtf16(name));
        if (!program.isEmpty())
            return program;
    }
    return {};
}

void startCalculator()
{
    const QString program = findCalculator();
    if (!program.isEmpty())
        QProcess::startDetached(program, {});
}
