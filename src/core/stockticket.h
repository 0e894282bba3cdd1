// A reply is applied only to the stock it was asked for. A fetcher takes a ticket before it
// sends a request for the current stock; after the wait (timers, clicks and code changes run
// meanwhile) it asks the ticket whether the window still shows that stock, and drops the reply
// when it does not.
#pragma once

#include "core/appstate.h"
#include "net/failure.h"

namespace app {

class StockTicket {
public:
    explicit StockTicket(const AppState& state)
        : m_state(state), m_code(state.CurrentCode), m_generation(state.StockGeneration) {}

    // The code the request is for.
    const QString& code() const { return m_code; }
    // True while no code change has happened since the ticket was taken.
    bool current() const { return m_state.StockGeneration == m_generation; }
    // Ends the handler silently when a code change overtook the request.
    void ensureCurrent() const
    {
        if (!current())
            throw SilentAbort{};
    }

private:
    const AppState& m_state;
    QString m_code;
    quint64 m_generation;
};

} // namespace app
