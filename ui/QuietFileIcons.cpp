#include "ui/QuietFileIcons.h"

#include <QFileInfo>

QIcon QuietFileIcons::icon(const QFileInfo &info) const
{
    if (info.isRoot())
        return icon(Drive);
    return icon(info.isDir() ? Folder : File);
}

QString QuietFileIcons::type(const QFileInfo &info) const
{
    if (info.isDir())
        return QStringLiteral("Папка");
    const QString suffix = info.suffix();
    return suffix.isEmpty() ? QStringLiteral("Файл")
                            : QStringLiteral("Файл %1").arg(suffix.toUpper());
}

QuietFileIcons &QuietFileIcons::instance()
{
    static QuietFileIcons icons;
    return icons;
}
