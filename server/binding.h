// The binding page: a user of a shared server binds a push channel to their own phone number, or
// removes one, without the operator's channels file. Each change waits for a six-digit code. A
// number that has no channel yet gets the code through the channel being bound, which shows the
// user controls it; a number that has channels gets it through those, so knowing a phone number
// is never enough to add a channel to it or take one away. The page never shows what a number
// watches nor the values of its channels.
//
//   GET  /bind            the form (UTF-8)
//   POST /bind            number, action=bind|unbind, channel, value (for bind): sends a code
//   POST /bind/confirm    number, code: binds or unbinds on the right code
#pragma once

#include "companionserver.h"

#include <functional>
#include <optional>

namespace server {

namespace phone {
class PhoneService;
}

namespace binding {

inline constexpr qint64 kCodeLifetimeMs = 10 * 60 * 1000;
inline constexpr int kWrongCodesAllowed = 5;   // the fifth wrong answer voids the code
inline constexpr int kCodesPerHour = 5;        // per number
inline constexpr int kLongestValue = 256;

// "pushplus", ..., "telegram" and "email": what the form's channel may be.
QStringList channelNames();

// Why `value` cannot be bound to `channel`, or an empty string: bounded length, no control
// characters, and the channels file's syntax for that channel.
QString valueProblem(const QString& channel, const QString& value);

class BindingPage {
public:
    // `service` gives the running phone alerts (null when they are off: the page then refuses);
    // `nowMs` the real time, which tests may move.
    BindingPage(CompanionStore& store, std::function<phone::PhoneService*()> service,
                std::function<qint64()> nowMs = {});

    // The reply to /bind and /bind/confirm; nothing for any other path.
    std::optional<CompanionReply> answer(const CompanionRequest& request);

private:
    CompanionReply requestCode(const CompanionRequest& request);
    CompanionReply confirm(const CompanionRequest& request);

    CompanionStore& store_;
    std::function<phone::PhoneService*()> service_;
    std::function<qint64()> now_;
};

} // namespace binding
} // namespace server
