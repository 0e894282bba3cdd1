#include "activation.h"

#include <QByteArray>
#include <QCoreApplication>

#include <fcntl.h>

namespace server {

namespace {

constexpr int kFirstHandedFd = 3;   // SD_LISTEN_FDS_START

} // namespace

HandedSocket handedSocket(const QByteArray& listenPid, const QByteArray& listenFds, qint64 pid)
{
    HandedSocket out;
    if (listenPid.isEmpty() || listenFds.isEmpty())
        return out;
    bool ok = false;
    if (listenPid.trimmed().toLongLong(&ok) != pid || !ok)
        return out;
    const int count = listenFds.trimmed().toInt(&ok);
    if (!ok || count < 0) {
        out.error = QStringLiteral("LISTEN_FDS is \"%1\", not a count of sockets").arg(QString::fromLatin1(listenFds));
        return out;
    }
    if (count == 0)
        return out;
    if (count > 1) {
        out.error = QStringLiteral("%1 sockets were handed over; the server listens on one (one ListenStream= "
                                   "in the socket unit)").arg(count);
        return out;
    }
    const int flags = fcntl(kFirstHandedFd, F_GETFD);
    if (flags < 0 || fcntl(kFirstHandedFd, F_SETFD, flags | FD_CLOEXEC) < 0) {
        out.error = QStringLiteral("the handed-over socket (descriptor %1) is not open").arg(kFirstHandedFd);
        return out;
    }
    out.fd = kFirstHandedFd;
    return out;
}

HandedSocket takeHandedSocket()
{
    const HandedSocket out =
        handedSocket(qgetenv("LISTEN_PID"), qgetenv("LISTEN_FDS"), QCoreApplication::applicationPid());
    qunsetenv("LISTEN_PID");
    qunsetenv("LISTEN_FDS");
    qunsetenv("LISTEN_FDNAMES");
    return out;
}

} // namespace server
