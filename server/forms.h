// The companion server's form pages: registering a phone number, its alert switch, and the three
// alert tables the client mirrors to the server, all kept in the companion store.
#pragma once

#include <QString>
#include <functional>
#include <optional>

namespace server {

class CompanionStore;

// Exactly 11 ASCII digits.
bool isPhoneNumber(const QString& sn);

struct FormReply {
    QString payload;   // framed and GBK-encoded by the caller
    int status = 200;
};

// Answers the form page at `path` (lower case); `field` gives the value of a form field.
// Nothing when `path` is not a form page.
std::optional<FormReply> answerForm(CompanionStore& store, const QString& path,
                                    const std::function<QString(const QString&)>& field);

} // namespace server
