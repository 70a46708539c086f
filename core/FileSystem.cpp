#include "core/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/statvfs.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace {

// Magic numbers of statfs(2), as <linux/magic.h> and the file systems' own sources give them.
constexpr unsigned long NetworkTypes[] = {
    0x6969,     // NFS
    0x517B,     // SMB
    0xFF534D42, // CIFS
    0xFE534D42, // SMB2
    0x73757245, // Coda
    0x5346414F, // AFS
    0x6B414653, // kAFS
    0x01021997, // 9P
    0x00C36400, // Ceph
    0x0BD00BD0, // Lustre
    0x01161970, // GFS2
    0x7461636F, // OCFS2
    0x47504653, // GPFS
};
constexpr unsigned long VirtualTypes[] = {
    0x9FA0,     // proc
    0x62656572, // sysfs
    0x1CD1,     // devpts
    0x64626720, // debugfs
    0x74726163, // tracefs
    0x73636673, // securityfs
    0x0027E0EB, // cgroup
    0x63677270, // cgroup2
    0xCAFE4A11, // bpf
    0x6165676C, // pstore
    0xDE5E81E4, // efivarfs
    0x62656570, // configfs
    0x19800202, // mqueue
    0x42494E4D, // binfmt_misc
    0x65735543, // fusectl
};

bool listed(unsigned long type, const auto &types)
{
    for (const unsigned long known : types) {
        if (known == type)
            return true;
    }
    return false;
}

// The path itself when it exists, else the nearest folder above it that does.
QString existingPart(const QString &path)
{
    // An empty path names nothing: QFileInfo would never reach a folder from it.
    QFileInfo info(
        QDir::cleanPath(QFileInfo(path.isEmpty() ? QStringLiteral(".") : path).absoluteFilePath()));
    while (!info.exists() && !info.isRoot())
        info = QFileInfo(info.absolutePath());
    return info.absoluteFilePath();
}

FileSystemTypeProbe &typeProbe()
{
    static FileSystemTypeProbe probe;
    return probe;
}

} // namespace

void setFileSystemTypeProbe(FileSystemTypeProbe probe)
{
    typeProbe() = std::move(probe);
}

QString sharedFileWarning(const QString &path)
{
    if (path.isEmpty() || fileSystemKind(path) != FileSystemKind::Network)
        return {};
    return QStringLiteral(
               "Файл базы данных «%1» лежит в сетевой папке. Работать с ним может только "
               "один пользователь за раз: в сетевой папке блокировки файла ненадёжны, и "
               "одновременные изменения могут повредить его. Если с базой данных "
               "работают несколько учителей, перенесите её на сервер PostgreSQL (см. "
               "главу «База данных на сервере для всей школы» в README)")
        .arg(QDir::toNativeSeparators(path));
}

FileSystemKind fileSystemKind(const QString &path)
{
    const QString existing = existingPart(path);
    // Device nodes live on a tmpfs like /tmp's; their folder tells them apart.
    const QString canonical = QFileInfo(existing).canonicalFilePath();
    if (canonical == QLatin1String("/dev") || canonical.startsWith(QLatin1String("/dev/")))
        return FileSystemKind::Virtual;
    std::optional<unsigned long> probed;
    if (typeProbe())
        probed = typeProbe()(existing);
    struct statfs info = {};
    if (!probed && ::statfs(QFile::encodeName(existing).constData(), &info) != 0)
        return FileSystemKind::Local;
    const auto type = probed ? *probed : static_cast<unsigned long>(info.f_type) & 0xFFFFFFFFUL;
    if (listed(type, NetworkTypes))
        return FileSystemKind::Network;
    if (listed(type, VirtualTypes))
        return FileSystemKind::Virtual;
    return FileSystemKind::Local;
}

namespace {

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

bool allowed(const QString &path, int mode)
{
    return ::access(QFile::encodeName(path).constData(), mode) == 0;
}

bool onReadOnlyDisk(const QString &path)
{
    struct statvfs info = {};
    return ::statvfs(QFile::encodeName(path).constData(), &info) == 0 &&
           (info.f_flag & ST_RDONLY) != 0;
}

// Why no file can be made in the folder; empty when one can.
QString folderProblem(const QString &folder)
{
    const QFileInfo info(folder);
    if (!info.exists())
        return QStringLiteral("папки «%1» нет").arg(shown(folder));
    if (!info.isDir())
        return QStringLiteral("«%1» — файл, а не папка").arg(shown(folder));
    if (fileSystemKind(folder) == FileSystemKind::Virtual)
        return QStringLiteral("«%1» — служебная папка системы, в ней не хранят файлы")
            .arg(shown(folder));
    if (!allowed(folder, X_OK))
        return QStringLiteral("нет прав на доступ к папке «%1»").arg(shown(folder));
    if (onReadOnlyDisk(folder))
        return QStringLiteral("папка «%1» на диске, доступном только для чтения")
            .arg(shown(folder));
    if (!allowed(folder, W_OK))
        return QStringLiteral("нет прав на запись в папку «%1»").arg(shown(folder));
    return {};
}

// Why the path is not an ordinary file; empty when it is one.
QString notAFile(const QString &path, const QFileInfo &info)
{
    if (info.isDir())
        return QStringLiteral("«%1» — это папка, а не файл").arg(shown(path));
    if (!info.isFile() || fileSystemKind(path) == FileSystemKind::Virtual)
        return QStringLiteral("«%1» — не обычный файл, а служебный файл системы").arg(shown(path));
    return {};
}

} // namespace

QString fileUseProblem(const QString &path, FileUse use)
{
    const QFileInfo info(QFileInfo(path).absoluteFilePath());
    const QString folder = info.absolutePath();
    if (use == FileUse::Create) {
        if (info.exists()) {
            if (const QString problem = notAFile(path, info); !problem.isEmpty())
                return problem;
        }
        return folderProblem(folder);
    }
    if (!info.exists()) {
        // A file that is not there, or that its folder hides.
        const QFileInfo folderInfo(folder);
        if (!folderInfo.exists())
            return QStringLiteral("папки «%1» нет").arg(shown(folder));
        if (!folderInfo.isDir())
            return QStringLiteral("«%1» — файл, а не папка").arg(shown(folder));
        if (!allowed(folder, X_OK))
            return QStringLiteral("нет прав на доступ к папке «%1»").arg(shown(folder));
        return QStringLiteral("файла «%1» нет").arg(shown(path));
    }
    if (const QString problem = notAFile(path, info); !problem.isEmpty())
        return problem;
    if (!allowed(path, R_OK))
        return QStringLiteral("нет прав на чтение файла «%1»").arg(shown(path));
    if (use == FileUse::Read)
        return {};
    if (onReadOnlyDisk(path))
        return QStringLiteral("файл «%1» на диске, доступном только для чтения").arg(shown(path));
    if (!allowed(path, W_OK))
        return QStringLiteral("нет прав на запись в файл «%1»").arg(shown(path));
    // Changes go through a journal that SQLite makes beside the file.
    if (const QString problem = folderProblem(folder); !problem.isEmpty())
        return problem + QStringLiteral(", а рядом с файлом базы данных пишется её журнал");
    return {};
}

bool isMissingFile(const QString &path)
{
    const QFileInfo info(QFileInfo(path).absoluteFilePath());
    return !info.exists() && !info.isSymLink() && QFileInfo(info.absolutePath()).isDir() &&
           allowed(info.absolutePath(), X_OK);
}
