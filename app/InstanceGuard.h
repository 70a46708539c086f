#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

// One running instance per user. The first instance holds a lock file named after
// "SemaphoreName" for the whole run and listens on a local socket beside it; a later
// instance finds the lock taken and asks the first one, through that socket, to bring its
// window forward. A lock left behind by a crashed or killed instance is taken over, and a
// lock that cannot be created at all lets the program start unguarded.
class InstanceGuard : public QObject
{
    Q_OBJECT
public:
    // folder: where the marker lives; by default the user's runtime folder.
    explicit InstanceGuard(const QString &folder = defaultFolder(), QObject *parent = nullptr);
    ~InstanceGuard() override;

    // True when another instance holds the marker; its window titled `title` has then been
    // asked to come forward. False when this process is the first instance (or the marker
    // could not be created); it keeps the marker until the guard is destroyed.
    bool IsAlreadyRunning(const QString &title);

    QString lockFileName() const;
    QString serverName() const;

    // The user's runtime folder, or the temporary folder when there is none.
    static QString defaultFolder();

private:
    void listenForActivation();
    void acceptConnections();
    void readRequest(QLocalSocket *socket);

    QString m_folder;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
};

// Brings the visible top-level window titled exactly `title` to the front, restoring it first
// if it is minimised. Its title is left as it is.
void bringWindowForward(const QString &title);
