// Socket activation: systemd (or systemd-socket-activate) opens the listening socket itself and
// starts the server on the first connection, handing the socket over as descriptor 3 with the
// environment variables LISTEN_PID and LISTEN_FDS.
#pragma once

#include <QString>

namespace server {

// The listening socket handed to this process, or why none can be used.
struct HandedSocket {
    int fd = -1;     // -1: none was handed over; the server binds its own port
    QString error;   // set when the variables are there but cannot be used
};

// Reads LISTEN_PID and LISTEN_FDS for process `pid`. Variables meant for another process (a
// parent that was activated and started this one) are not ours: no socket. Exactly one socket is
// expected; it is marked close-on-exec so nothing the server starts inherits it.
HandedSocket handedSocket(const QByteArray& listenPid, const QByteArray& listenFds, qint64 pid);

// The same for this process and its environment, which then loses the two variables (with
// LISTEN_FDNAMES) so that no program started later takes them for its own.
HandedSocket takeHandedSocket();

} // namespace server
