#include "access/AccessSnapshot.h"

#include "access/AccessConversion.h"
#include "access/AccessFormat.h"
#include "core/DbError.h"
#include "core/Waiting.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <atomic>
#include <chrono>
#include <future>

using namespace Qt::StringLiterals;

namespace {

const QString ConverterName = QStringLiteral("orvinta-db");
const QString SnapshotFolderName = QStringLiteral("access-snapshots");
// Part of every snapshot's name: a new way of converting makes new snapshots.
constexpr int SnapshotVersion = 2;

QString &fixedConverter()
{
    static QString program;
    return program;
}

bool isExecutableFile(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

QString snapshotFolder()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (base.isEmpty())
        base = QDir::tempPath();
    return QDir(base).filePath(SnapshotFolderName);
}

QString hashOf(const QString &text)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
}

// The snapshots of one file share the first half of their name.
QString fileKeyOf(const QFileInfo &file)
{
    return hashOf(file.canonicalFilePath());
}

} // namespace

QString findConverterProgram(const QString &applicationDir, const QString &installedDir,
                             const QStringList &searchPath)
{
    for (const QString &folder : QStringList{applicationDir, installedDir} + searchPath) {
        if (folder.isEmpty())
            continue;
        const QString candidate = QDir(folder).filePath(ConverterName);
        if (isExecutableFile(candidate))
            return QDir::cleanPath(candidate);
    }
    return {};
}

QString converterProgram()
{
    if (!fixedConverter().isEmpty())
        return fixedConverter();
    const QStringList path = qEnvironmentVariable("PATH").split(u':', Qt::SkipEmptyParts);
    const QString found = findConverterProgram(QCoreApplication::applicationDirPath(),
                                               QStringLiteral(ORVINTA_INSTALL_BINDIR), path);
    if (found.isEmpty()) {
        throw DbError(
            QStringLiteral("Не найдена программа %1, которая читает файлы Access: она должна "
                           "лежать рядом с программой или в одной из папок PATH")
                .arg(ConverterName));
    }
    return found;
}

void setConverterProgram(const QString &program)
{
    fixedConverter() = program;
}

QString accessSnapshotPath(const QString &accessPath)
{
    const QFileInfo file(accessPath);
    if (file.canonicalFilePath().isEmpty())
        throw DbError(QStringLiteral("Файл базы данных «%1» не найден").arg(accessPath));
    const QString stateKey = hashOf(QStringLiteral("%1|%2|%3")
                                        .arg(file.size())
                                        .arg(file.lastModified().toMSecsSinceEpoch())
                                        .arg(SnapshotVersion));
    return QDir(snapshotFolder())
        .filePath(QStringLiteral("%1-%2.sqlite").arg(fileKeyOf(file), stateKey));
}

namespace {

QString hintsPathOf(const QString &snapshot)
{
    return snapshot + QStringLiteral(".hints");
}

} // namespace

QString accessSnapshotOf(const QString &accessPath)
{
    const QString snapshot = accessSnapshotPath(accessPath);
    if (QFileInfo(snapshot).isFile())
        return snapshot;

    QDir folder(snapshotFolder());
    if (!folder.mkpath(QStringLiteral(".")))
        throw DbError(QStringLiteral("Не удалось создать папку «%1» для копий файлов Access")
                          .arg(folder.path()));
    QStringList warnings;
    AccessConversionOptions options;
    options.warnings = &warnings;
    // The reader runs off this thread, which goes on answering the user (the waiter's dialog,
    // the windows' painting) and may cancel it.
    std::atomic<bool> cancelled = false;
    options.keepWaiting = [&cancelled] { return !cancelled.load(); };
    const QString program = converterProgram();
    auto reading = std::async(std::launch::async,
                              [&] { convertAccessFile(program, accessPath, snapshot, options); });
    if (Waiter *const user = waiter()) {
        const QString what =
            QStringLiteral("Чтение файла Access «%1»…").arg(QFileInfo(accessPath).fileName());
        const auto done = qScopeGuard([user] { user->finished(); });
        while (reading.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
            if (!user->keepWaiting(what))
                cancelled = true;
        }
    }
    try {
        reading.get();
    } catch (const DbError &) {
        // Another record set (or program) may have made the same snapshot meanwhile.
        if (QFileInfo(snapshot).isFile())
            return snapshot;
        throw;
    }
    QFile::setPermissions(snapshot,
                          QFile::ReadOwner | QFile::ReadUser | QFile::ReadGroup | QFile::ReadOther);
    // What the reader noticed (a code page that looks wrong) is kept beside the snapshot
    // for the message that a refused write shows.
    QFile hints(hintsPathOf(snapshot));
    if (!warnings.isEmpty() && hints.open(QIODevice::WriteOnly | QIODevice::Truncate))
        hints.write(warnings.join(u'\n').toUtf8());
    // Snapshots of the file's earlier states are of no further use.
    const QString fileKey = fileKeyOf(QFileInfo(accessPath));
    const QStringList earlier =
        folder.entryList({fileKey + QStringLiteral("-*.sqlite")}, QDir::Files);
    for (const QString &name : earlier) {
        if (folder.filePath(name) != snapshot) {
            folder.remove(name);
            folder.remove(hintsPathOf(name));
        }
    }
    return snapshot;
}

bool isAccessSnapshot(const QString &databasePath)
{
    const QFileInfo file(databasePath);
    return file.absolutePath() == QFileInfo(snapshotFolder()).absoluteFilePath() &&
           file.fileName().endsWith(QStringLiteral(".sqlite"));
}

QString accessReadOnlyMessage(const QString &accessPath)
{
    const QFileInfo file(accessPath);
    const QString copy =
        file.dir().filePath(file.completeBaseName() + QStringLiteral("-orvinta.mdb"));
    QString hints;
    QFile hintsFile(hintsPathOf(accessSnapshotPath(accessPath)));
    if (hintsFile.open(QIODevice::ReadOnly))
        hints = QString::fromUtf8(hintsFile.readAll()).trimmed();
    // A code page that the reader doubted goes into the command it suggests.
    static const QRegularExpression codePageHint(QStringLiteral("--code-page (\\S+)"));
    const QString codePage = codePageHint.match(hints).captured(1);
    QString message =
        QStringLiteral(
            "Файл «%1» — база данных Access: программа открывает его только для чтения "
            "и ничего в него не записывает. Чтобы вносить изменения, сделайте из него "
            "базу программы командой\n  orvinta-db import %3\"%1\" \"%2\"\nи откройте её")
            .arg(QDir::toNativeSeparators(accessPath), QDir::toNativeSeparators(copy),
                 codePage.isEmpty() ? QString() : QStringLiteral("--code-page %1 ").arg(codePage));
    if (!hints.isEmpty())
        message += u"\n\n"_s + hints;
    return message;
}

std::optional<StandInFile> accessStandIn(const QString &path)
{
    if (accessFormatOf(path) == AccessFormat::None)
        return std::nullopt;
    return StandInFile{accessSnapshotOf(path), accessReadOnlyMessage(path)};
}
