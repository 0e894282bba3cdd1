// huilan-server: the companion server as a service of its own (see program.h).
#include "program.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("huilan-server"));
    return server::runServer(app);
}
