// The TV channel directory the companion server sends ("/gp1gettvdata.asp"): records between
// "***" separators, each "name&1address&2category&3group&4leaf", addresses lightly scrambled.
// From the records come the column's categories, the menus' groups and the channels under them.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace tv {

// Restores a scrambled address: when it holds at least 18 bytes, its first 18 bytes each
// increased by one (and nothing else); a shorter one comes back unchanged.
QByteArray jiemi(const QByteArray& scrambled);

// The address field as sent: `jiemi` of its local-code-page bytes followed by its characters from
// the nineteenth on.
QString descrambleAddress(const QString& field);

// The trimmed records of a directory page: the text after each body-tag tail up to each "***".
// Text after the last "***" is not a record; empty records are kept here and skipped later.
QStringList tvRecords(const QString& page);

struct Category {
    QString name;
    QString id;   // the record's group id field
};

struct Group {
    QString name;
    QString address;
    QString categoryId;
    QString groupId;
};

struct Channel {
    QString name;
    QString categoryId;
    QString address;
    QString groupId;
    QString leaf;
};

// One top-level item of a category menu; `channels` become its sub-items.
struct MenuGroup {
    QString name;
    QStringList channels;
};

struct Programme {
    QString name;
    QString address;
};

// The whole directory: the five record lists (entry i of each belongs to record i) and what is
// derived from them.
struct TvDirectory {
    QStringList names, addresses, categoryIds, groupIds, leafFlags;
    QList<Category> categories;
    QList<Group> groups;
    QList<Channel> channels;

    // The menu a column label with `caption` pops up: the groups of the first category of that
    // name; a group with no address of its own lists the channels of its category and group id.
    QList<MenuGroup> categoryMenu(const QString& caption) const;
    // The first record of that name that has an address.
    std::optional<Programme> findPlayable(const QString& name) const;
};

// Whether a stream address may be handed to the player: only the schemes TV streams use (http,
// https, rtsp, rtmp, mms), never a local file or anything else a directory entry might carry.
bool isStreamAddress(const QString& address);

// Builds the directory from a fetched page (already converted from GBK).
TvDirectory parseTvDirectory(const QString& page);

} // namespace tv
