// Mirroring the alert configuration to the companion server, which sends the text-message
// alerts. The server's copy is replaced table by table: a delete request for the user, then one
// add request per stock that table holds for the server.
#pragma once

#include "net/form.h"
#include "store/alertlists.h"

namespace net { class HttpClient; }

namespace store {

struct MirrorRequest {
    QString path;
    net::Form form;
};

// The requests, in the order they are sent. `sn` is the phone number text the settings dialog
// shows; with `toPhone` false only the switch-off request is sent.
QList<MirrorRequest> mirrorRequests(const QString& sn, bool toPhone, const AlertLists& lists);

// POSTs every request to `serverBase`; replies are ignored. Throws net::HttpFailure.
void MirrorAlerts(net::HttpClient& client, const QString& serverBase, const QString& sn, bool toPhone,
                  const AlertLists& lists);

} // namespace store
