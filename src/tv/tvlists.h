// The TV viewer's two remembered lists: recently watched (a ring of ten plays) and favourites,
// and their files in the data folder (GBK, one "name&address" line each, CR LF).
#pragma once

#include "tv/tvdirectory.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace tv {

inline const QString kRecentFile = QStringLiteral("gpnew06858.dat");
inline const QString kFavouritesFile = QStringLiteral("gpnew06857.dat");
inline constexpr int kRecentSlots = 10;

// Entries of a list file: every line holding "&" gives a name and an address. The name ends at
// the first "&" that is followed by a scheme and "://" (so "沪&深快讯&http://…" keeps its name
// whole), or at the first "&" when none is; the rest of the line, "&"s and all, is the address.
// Other lines are skipped. Lines end in CR LF (a bare LF is taken too).
QList<Programme> parseTvListFile(const QByteArray& content);
// The file text for `entries`, GBK, each line ended by CR LF; empty for no entries.
QByteArray tvListFileText(const QList<Programme>& entries);

// Reading one list file.
struct ListFileRead {
    enum State { Missing, Loaded, Unreadable } state = Missing;
    QList<Programme> entries;
    QString error;   // why an existing file could not be read
};
ListFileRead readTvListFile(const QString& path);
// Replaces the file whole (written aside, then renamed over it); on failure the old file stays as
// it was and *error says why.
bool writeTvListFile(const QString& path, const QList<Programme>& entries, QString* error);

// Both lists and the play counter.
struct TvLists {
    QList<Programme> recent;       // in slot order, not time order
    int playCounter = 0;           // plays so far plus the entries loaded; picks the next slot
    QList<Programme> favourites;   // in the order they were added

    // A play from a category menu: the first ten fill the ring, later ones replace slot
    // (counter mod 10).
    void recordPlay(const Programme& programme);
    // "删除最近观看内容": the ring empties and the counter starts again.
    void clearRecent();
    // The first entry of that name.
    static std::optional<Programme> find(const QList<Programme>& list, const QString& name);
    bool hasFavourite(const QString& name) const { return find(favourites, name).has_value(); }
};

} // namespace tv
