// Everything the windows share for the whole run, owned by main() and passed by reference.
#pragma once

#include "core/appstate.h"
#include "core/clock.h"
#include "app/statuscheck.h"
#include "core/prompter.h"
#include "core/settings.h"
#include "market/indexsummary.h"
#include "net/urlopener.h"
#include "store/alertlists.h"
#include "store/alertstore.h"

namespace app {

struct AppContext {
    AppContext(Settings s, Clock& c, Prompter& p, net::UrlOpener& o)
        : settings(std::move(s)), clock(c), prompter(p), opener(o) {}

    Settings settings;
    Clock& clock;
    Prompter& prompter;
    net::UrlOpener& opener;
    AppState state;
    market::IndexSummary index;   // the banner's two summary lines and the ticker's index rows
    store::AlertStore store;      // the alert database, open for the whole run
    store::AlertLists alerts;     // the watched stocks and their alert settings
    StatusReply status;           // what the start-up status check found
};

} // namespace app
