// huilan-server: the companion server as a service of its own (see program.h).
#include "program.h"

#include <QCoreApplication>

#include <malloc.h>

int main(int argc, char* argv[])
{
    // The server answers a stream of short connections. Qt's own event loop watches sockets with
    // fewer system calls than the GLib one, which wakes itself up each time a socket is added or
    // removed. Each connection's socket buffers are heap blocks of 16 KiB: freed heap is kept
    // rather than handed back to the system after every burst, only to be taken back, page fault
    // by page fault, a moment later.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    mallopt(M_TRIM_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TOP_PAD, 4 * 1024 * 1024);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("huilan-server"));
    return server::runServer(app);
}
