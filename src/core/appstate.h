// The main window's shared state, owned by the application for the whole run.
#pragma once

#include <QString>

namespace app {

struct AppState {
    QString SystemDir;           // data folder holding the program's files
    QString ServerBase;          // companion server base address
    QString CurrentCode;         // the stock the main window shows
    QString CurrentName;         // its name, from the quote service
    quint64 StockGeneration = 0; // counts code changes; see StockTicket
    bool HiddenInTray = false;   // the main window is hidden to the tray
    bool FirstShowDone = false;
    bool CodeChangeBusy = false; // a code change is waiting on the network
    int IndexTickCount = 0;      // Timer1's tick counter: the index summary every third tick
    int BannerTickCount = 0;     // Timer3's tick counter: which summary line the banner shows
    int MinuteTickCount = 1;     // Timer2's tick counter: the online count every tenth tick
    bool RecommendPromptOff = false;
    bool NewRecommendations = false;
};

} // namespace app
