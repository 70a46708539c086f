#include "app/InstanceGuard.h"

#include <QApplication>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QWidget>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A request is one line: the window title. Longer input is not ours and is dropped.
constexpr qint64 maxRequestLength = 1024;
constexpr int socketTimeoutMs = 1000;

// Per-user even in the shared temporary folder; $USER may be unset, the uid never is.
QString markerBaseName()
{
    return u"SemaphoreName-%1"_s.arg(::getuid());
}

} // namespace

InstanceGuard::InstanceGuard(const QString &folder, QObject *parent)
    : QObject(parent), m_folder(folder)
{}

InstanceGuard::~InstanceGuard() = default;

QString InstanceGuard::defaultFolder()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

QString InstanceGuard::lockFileName() const
{
    return QDir(m_folder).filePath(markerBaseName() + u".lock"_s);
}

QString InstanceGuard::serverName() const
{
    return QDir(m_folder).filePath(markerBaseName() + u".socket"_s);
}

bool InstanceGuard::IsAlreadyRunning(const QString &title)
{
    auto lock = std::make_unique<QLockFile>(lockFileName());
    // A running instance holds the marker for hours: only a dead owner makes it stale.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
        m_lock = std::move(lock);
        listenForActivation();
        return false;
    }
    switch (lock->error()) {
    case QLockFile::PermissionError:
    case QLockFile::UnknownError:
        // No marker can be made here: run without the single-instance protection.
        return false;
    case QLockFile::NoError:
    case QLockFile::LockFailedError:
        break;
    }

    QLocalSocket socket;
    socket.connectToServer(serverName());
    if (socket.waitForConnected(socketTimeoutMs)) {
        socket.write(title.toUtf8() + '\n');
        socket.waitForBytesWritten(socketTimeoutMs);
        socket.disconnectFromServer();
    }
    return true;
}

void InstanceGuard::listenForActivation()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // A killed instance leaves its socket file behind; the lock says it is ours now.
    QLocalServer::removeServer(serverName());
    connect(m_server, &QLocalServer::newConnection, this, &InstanceGuard::acceptConnections);
    // Without the socket later starts are still refused; they only cannot call us forward.
    m_server->listen(serverName());
}

void InstanceGuard::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
        readRequest(socket);
    }
}

void InstanceGuard::readRequest(QLocalSocket *socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > maxRequestLength)
            socket->abort();
        return;
    }
    const QByteArray line = socket->readLine(maxRequestLength);
    socket->disconnectFromServer();
    bringWindowForward(QString::fromUtf8(line).chopped(line.endsWith('\n') ? 1 : 0));
}

void bringWindowForward(const QString &title)
{
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (!window->isVisible() || window->windowTitle() != title)
            continue;
        if (window->isMinimized())
            window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
        window->raise();
        window->activateWindow();
        return;
    }
}
