// Runs the real save routines over and over until it is killed, alternating between two known
// contents, so a test can kill it at random moments and check what is left on disk.
//
//   crashsave_helper client DIR [once]   alert database, stock-code file, both TV list files
//   crashsave_helper create DIR          the alert database made afresh, as on a first start
//   crashsave_helper sandbox DIR [once]  the companion server's store
//
// "once" writes the first content and ends (to prepare a folder). Otherwise it writes "saving" on
// standard output when the loop starts, then before each routine a line naming it ("alerts",
// "switches", "code", "recent", "favourites"; "mirror", "switch", "post") and, in sandbox mode,
// "posted N" after the N-th recommendation is committed.
#include "crashsave_contents.h"

#include "core/stockcodefile.h"
#include "store.h"
#include "store/alertstore.h"
#include "tv/tvlists.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>

namespace {

void mark(const char* step)
{
    std::fputs(step, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int runClient(const QDir& dir, bool once)
{
    store::AlertStore db;
    db.createbase(dir.filePath(store::kAlertDatabaseFile));
    for (int round = 0;; ++round) {
        const crashsave::ClientContent& c = crashsave::clientContent(round % 2);
        if (round == 0 && !once)
            mark("saving");
        if (!once) mark("alerts");
        db.SaveAlerts(c.lists);
        if (!once) mark("switches");
        db.SaveSwitches(c.lists.LocalAlertsOn, c.lists.PhoneAlertsOn);
        if (!once) mark("code");
        app::writeStockCodeFile(dir.filePath(app::kStockCodeFile), c.code);
        QString error;
        if (!once) mark("recent");
        if (!tv::writeTvListFile(dir.filePath(tv::kRecentFile), c.recent, &error))
            throw std::runtime_error(error.toStdString());
        if (!once) mark("favourites");
        if (!tv::writeTvListFile(dir.filePath(tv::kFavouritesFile), c.favourites, &error))
            throw std::runtime_error(error.toStdString());
        if (once)
            return 0;
    }
}

// The first start: the database file is made and its tables created, again and again.
int runCreate(const QDir& dir)
{
    const QString path = dir.filePath(store::kAlertDatabaseFile);
    mark("saving");
    for (;;) {
        for (const QString& leftover : {path, path + QStringLiteral("-journal")})
            QFile::remove(leftover);
        mark("create");
        store::AlertStore db;
        db.createbase(path);
    }
}

int runSandbox(const QDir& dir, bool once)
{
    server::CompanionStore companion;
    QString error;
    if (!companion.open(dir.filePath(crashsave::kCompanionFile), &error))
        throw std::runtime_error(error.toStdString());
    companion.registerNumber(crashsave::kPhone);
    int posted = companion.recommendationCount();   // numbering goes on from the last run
    for (int round = 0;; ++round) {
        const crashsave::CompanionContent& c = crashsave::companionContent(round % 2);
        if (round == 0 && !once)
            mark("saving");
        if (!once) mark("mirror");
        // The client mirrors one request per row: clear a table, then add its rows one by one.
        for (int t = 1; t <= server::CompanionStore::kTables; ++t) {
            if (!companion.clearRows(t, crashsave::kPhone))
                throw std::runtime_error("clearRows failed");
            for (const QStringList& row : c.tables[t - 1])
                if (!companion.addRow(t, crashsave::kPhone, row))
                    throw std::runtime_error("addRow failed");
        }
        if (!once) mark("switch");
        companion.setSwitch(crashsave::kPhone, c.ycf);
        if (once)
            return 0;
        mark("post");
        server::StoredRecommendation post = crashsave::recommendation(posted);
        // A new address each time, so the per-day limit never refuses a post.
        post.address = QStringLiteral("10.%1.%2.%3").arg(posted >> 16 & 255).arg(posted >> 8 & 255).arg(posted & 255);
        if (companion.addRecommendation(post, QStringLiteral("2026-12-09"), 2)
            != server::CompanionStore::Post::Added)
            throw std::runtime_error("addRecommendation failed");
        ++posted;
        std::printf("posted %d\n", posted);
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() < 3) {
        std::fputs("usage: crashsave_helper client|sandbox DIR [once]\n", stderr);
        return 2;
    }
    const QDir dir(args[2]);
    const bool once = args.size() > 3 && args[3] == QLatin1String("once");
    try {
        if (args[1] == QLatin1String("client"))
            return runClient(dir, once);
        if (args[1] == QLatin1String("create"))
            return runCreate(dir);
        if (args[1] == QLatin1String("sandbox"))
            return runSandbox(dir, once);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "crashsave_helper: %s\n", e.what());
        return 1;
    }
    return 2;
}
