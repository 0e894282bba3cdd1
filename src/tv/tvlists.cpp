#include "tv/tvlists.h"

#include "net/codecs.h"

#include <QFile>
#include <QSaveFile>

namespace tv {

namespace {

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isSchemeCharacter(QChar c)
{
    return isAsciiLetter(c) || (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
}

// Does an address start right after the "&" at `amp`: a scheme (a letter, then letters, digits,
// "+", "-" or ".") followed by "://"?
bool addressFollows(const QString& line, qsizetype amp)
{
    qsizetype p = amp + 1;
    if (p >= line.size() || !isAsciiLetter(line[p]))
        return false;
    while (p < line.size() && isSchemeCharacter(line[p]))
        ++p;
    return QStringView(line).mid(p).startsWith(u"://");
}

} // namespace

QList<Programme> parseTvListFile(const QByteArray& content)
{
    QList<Programme> entries;
    for (QByteArray line : content.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        const QString text = net::fromGbk(line);
        const qsizetype first = text.indexOf(u'&');
        if (first < 0)
            continue;
        // The name ends at the first "&" that begins an address, so a name may hold "&" itself;
        // a line with no such "&" splits at its first one.
        qsizetype amp = first;
        while (amp >= 0 && !addressFollows(text, amp))
            amp = text.indexOf(u'&', amp + 1);
        if (amp < 0)
            amp = first;
        entries.append({text.left(amp), text.mid(amp + 1)});
    }
    return entries;
}

QByteArray tvListFileText(const QList<Programme>& entries)
{
    QByteArray out;
    for (const Programme& e : entries)
        out += net::toGbk(e.name + u'&' + e.address) + "\r\n";
    return out;
}

ListFileRead readTvListFile(const QString& path)
{
    ListFileRead read;
    QFile file(path);
    if (!file.exists())
        return read;
    if (!file.open(QIODevice::ReadOnly)) {
        read.state = ListFileRead::Unreadable;
        read.error = file.errorString();
        return read;
    }
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        read.state = ListFileRead::Unreadable;
        read.error = file.errorString();
        return read;
    }
    read.state = ListFileRead::Loaded;
    read.entries = parseTvListFile(content);
    return read;
}

bool writeTvListFile(const QString& path, const QList<Programme>& entries, QString* error)
{
    QSaveFile file(path);
    const QByteArray text = tvListFileText(entries);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

void TvLists::recordPlay(const Programme& programme)
{
    const int slot = playCounter % kRecentSlots;
    // A ring loaded from a hand-edited file may be shorter than its counter says: then append.
    if (playCounter < kRecentSlots || slot >= recent.size())
        recent.append(programme);
    else
        recent[slot] = programme;
    ++playCounter;
}

void TvLists::clearRecent()
{
    recent.clear();
    playCounter = 0;
}

std::optional<Programme> TvLists::find(const QList<Programme>& list, const QString& name)
{
    for (const Programme& e : list)
        if (e.name == name)
            return e;
    return std::nullopt;
}

} // namespace tv
