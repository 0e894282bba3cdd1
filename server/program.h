// The huilan-server program: its command line, the `show` command, the copies of itself it
// starts to use several cores, and the signals it answers.
#pragma once

#include "service.h"

#include <QString>
#include <QStringList>

class QCoreApplication;

namespace server {

struct ServerCommandLine {
    ServiceOptions options;
    int workers = 1;       // processes serving the port; the first starts the others
    bool worker = false;   // this is a copy started by the first process
    bool help = false;
    bool version = false;
    bool show = false;     // `show NUMBER`: print what the server holds for the number and exit
    QString number;
    QString helpText;
    QString error;         // set when an argument is missing, unknown or has a bad value
};

// `arguments` as QCoreApplication::arguments() gives them, program name first.
ServerCommandLine parseServerCommandLine(const QStringList& arguments);

// Runs huilan-server with the application's arguments; returns the exit code.
int runServer(QCoreApplication& app);

} // namespace server
