// The huilan-sandbox command line.
#pragma once

#include "sandbox.h"

#include <QString>
#include <QStringList>

namespace sandbox {

struct CommandLine {
    Options options;
    bool help = false;
    bool check = false;   // ask every live source once, report and exit
    QString helpText;
    QString error;   // set when an argument is missing, unknown or has a bad value
};

// `arguments` as QCoreApplication::arguments() gives them, program name first.
CommandLine parseCommandLine(const QStringList& arguments);

} // namespace sandbox
