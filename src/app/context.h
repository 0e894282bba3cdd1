// Everything the windows share for the whole run, owned by main() and passed by reference.
#pragma once

#include "app/appstate.h"
#include "app/clock.h"
#include "app/prompter.h"
#include "app/settings.h"
#include "market/indexsummary.h"
#include "net/urlopener.h"

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
};

} // namespace app
