// The two ways a fetch or a handler step fails.
#pragma once

#include <QString>
#include <stdexcept>

// Ends the current event handler and every caller up to the event loop without a message. Not a
// std::exception on purpose: a catch of std::exception must never swallow it by accident.
struct SilentAbort {};

namespace net {

// A request that did not produce a usable body: no connection, time-out, HTTP error status,
// body over the size cap.
class HttpFailure : public std::runtime_error {
public:
    explicit HttpFailure(const QString& what, bool refused = false)
        : std::runtime_error(what.toStdString()), m_refused(refused)
    {
    }
    // Nothing listens at the address: the connection was refused.
    bool refused() const { return m_refused; }

private:
    bool m_refused;
};

} // namespace net
