// `huilan-server show NUMBER`: what the server holds for one phone number, printed for the
// operator: registration, the phone switch, the three mirrored tables, the number's push channels
// (tokens masked) and its last phone-alert attempts.
#pragma once

#include <QString>

class QTextStream;

namespace server {

// The number of tries show lists.
inline constexpr int kShownAttempts = 20;

// `token` with all but its last 4 characters replaced by '*'; wholly replaced when it has 8
// characters or fewer, where 4 would give away too much of it.
QString maskToken(const QString& token);

// Prints what the store at `location` (as CompanionStore::open takes it) holds for `sn`, and its
// bindings in `channelsFile` when one is given. Returns the exit code: 0, 1 when the store or
// the channels file cannot be read, 2 for a malformed number.
int showNumber(const QString& sn, const QString& location, const QString& channelsFile, QTextStream& out,
               QTextStream& err);

} // namespace server
