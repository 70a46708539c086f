#include "app/ShellCommands.h"

#include <QDesktopServices>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

void openDocument(const QString &bareName)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::current().absoluteFilePath(bareName)));
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
