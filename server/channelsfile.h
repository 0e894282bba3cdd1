// The operator's channels file: which push channels each phone number's alerts go out through.
//
//   [13800138000]            one section per phone number (11 digits)
//   pushplus=TOKEN
//   dingtalk=ACCESS_TOKEN:SECRET
//   telegram=CHAT_ID
//   email=me@example.com
//   [telegram]               credentials every binding of a channel shares
//   token=123456:ABC...
//   [smtp]                   the mail server e-mail goes out through
//   host=smtp.example.com  port=465  user=...  password=...  from=alerts@example.com
//
// A line that cannot be used is reported with its line number and left out; the rest of the file
// still counts, so one typing error does not silence every number.
#pragma once

#include "channels.h"
#include "smtp.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace server::notify {

struct ChannelsFile {
    QHash<QString, QList<Binding>> bindings;   // phone number -> its channels, in file order
    QHash<QString, QStringList> emails;        // phone number -> its e-mail addresses
    QString telegramToken;
    std::optional<SmtpSettings> smtp;          // set when [smtp] names a host and a sender
    QStringList problems;                      // "line N: what is wrong"
};

ChannelsFile parseChannelsFile(const QByteArray& text);
// Reads `path`; nothing when it cannot be opened (the caller keeps what it had).
std::optional<ChannelsFile> readChannelsFile(const QString& path, QString* error = nullptr);

} // namespace server::notify
