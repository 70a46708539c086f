#include "app/ShellCommands.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <stdexcept>

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

QStringList calculatorNames()
{
    return {QStringLiteral("gnome-calculator"), QStringLiteral("kcalc"),
            QStringLiteral("mate-calc"),        QStringLiteral("galculator"),
            QStringLiteral("qalculate-gtk"),    QStringLiteral("xcalc")};
}

QString findCalculator()
{
    const QStringList names = calculatorNames();
    for (const QString &name : names) {
        const QString program = QStandardPaths::findExecutable(name);
        if (!program.isEmpty())
            return program;
    }
    return {};
}

void startCalculator()
{
    const QString program = findCalculator();
    if (program.isEmpty()) {
        throw std::runtime_error(
            QStringLiteral("Калькулятор не найден: ни одна из программ %1 не установлена. "
                           "Установите одну из них, например пакет gnome-calculator")
                .arg(calculatorNames().join(QStringLiteral(", ")))
                .toStdString());
    }
    if (!QProcess::startDetached(program, {}))
        throw std::runtime_error(
            QStringLiteral("Не удалось запустить калькулятор «%1»").arg(program).toStdString());
}
