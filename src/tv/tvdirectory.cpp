#include "tv/tvdirectory.h"

#include "net/codecs.h"
#include "net/scan.h"

#include <QUrl>

namespace tv {

namespace {

constexpr QLatin1String kBodyTail("text=\"#000000\">");
constexpr QLatin1String kRecordEnd("***");
constexpr qsizetype kScrambledBytes = 18;

// The five fields of one record. Each record fills exactly one entry of every list, so a record
// that misses a token (or repeats one) cannot shift the fields of the records after it: a missing
// field stays empty, a repeated token keeps its first value.
struct Fields {
    std::optional<QString> name, address, categoryId, groupId, leaf;
};

Fields splitRecord(const QString& record)
{
    Fields f;
    qsizetype start = 0;
    // The field from the field start up to the token at p, unless the record had it already.
    auto take = [&](std::optional<QString>& field, qsizetype p) {
        const bool first = !field;
        if (first)
            field = record.mid(start, p - start);
        start = p + 2;
        return first;
    };
    // Every token is "&" and a digit: only the places of "&" need a look.
    for (qsizetype p = record.indexOf(u'&'); p >= 0 && p + 1 < record.size(); p = record.indexOf(u'&', p + 1)) {
        switch (record[p + 1].unicode()) {
        case u'1':
            take(f.name, p);
            break;
        case u'2':
            if (take(f.address, p))
                f.address = descrambleAddress(*f.address);
            break;
        case u'3':
            take(f.categoryId, p);
            break;
        case u'4':
            if (take(f.groupId, p))
                f.leaf = record.mid(p + 2);
            break;
        default:
            break;
        }
    }
    return f;
}

} // namespace

QByteArray jiemi(const QByteArray& scrambled)
{
    if (scrambled.size() < kScrambledBytes)
        return scrambled;
    QByteArray out = scrambled.left(kScrambledBytes);
    for (char& c : out)
        c = char(quint8(c) + 1);   // 0xFF wraps to 0x00, as a byte does
    return out;
}

QString descrambleAddress(const QString& field)
{
    // Addresses are ASCII in practice: then the local code page is not needed.
    bool ascii = true;
    for (QChar c : field)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii) {
        if (field.size() < kScrambledBytes)
            return field;
        return QString::fromLatin1(jiemi(field.toLatin1())) + field.mid(kScrambledBytes);
    }
    const QByteArray bytes = net::toGbk(field);
    if (bytes.size() < kScrambledBytes)
        return field;
    return net::fromGbk(jiemi(bytes)) + field.mid(kScrambledBytes);
}

bool isStreamAddress(const QString& address)
{
    const QUrl url(address.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return false;
    static const QStringList schemes = {QStringLiteral("http"), QStringLiteral("https"),
                                        QStringLiteral("rtsp"), QStringLiteral("rtmp"),
                                        QStringLiteral("mms")};
    return schemes.contains(url.scheme().toLower());
}

QStringList tvRecords(const QString& page)
{
    QStringList records;
    // Records start after the body tag's tail; one met again starts the record again. The markers
    // share no character, so neither can start inside the other.
    qsizetype tail = page.indexOf(kBodyTail);
    if (tail < 0)
        return records;
    qsizetype start = tail + kBodyTail.size();
    tail = page.indexOf(kBodyTail, tail + 1);
    for (qsizetype p = page.indexOf(kRecordEnd, start); p >= 0; p = page.indexOf(kRecordEnd, p + 1)) {
        for (; tail >= 0 && tail < p; tail = page.indexOf(kBodyTail, tail + 1))
            start = tail + kBodyTail.size();
        // A "***" that overlaps the one before ends an empty record.
        records.append(p > start ? net::trimBlanks(QStringView(page).mid(start, p - start)) : QString());
        start = p + kRecordEnd.size();
    }
    return records;
}

TvDirectory parseTvDirectory(const QString& page)
{
    TvDirectory d;
    for (const QString& record : tvRecords(page)) {
        if (record.isEmpty())
            continue;
        const Fields f = splitRecord(record);
        d.names.append(f.name.value_or(QString()));
        d.addresses.append(f.address.value_or(QString()));
        d.categoryIds.append(f.categoryId.value_or(QString()));
        d.groupIds.append(f.groupId.value_or(QString()));
        d.leafFlags.append(f.leaf.value_or(QString()));
    }
    const QString top = QStringLiteral("0");
    for (qsizetype i = 0; i < d.names.size(); ++i)
        if (d.categoryIds[i] == top)
            d.categories.append({d.names[i], d.groupIds[i]});
    for (qsizetype i = 0; i < d.names.size(); ++i)
        if (d.categoryIds[i] != top && (d.leafFlags[i] == top || d.addresses[i].isEmpty()))
            d.groups.append({d.names[i], d.addresses[i], d.categoryIds[i], d.groupIds[i]});
    for (qsizetype i = 0; i < d.names.size(); ++i)
        if (d.categoryIds[i] != top && d.leafFlags[i] != top && !d.addresses[i].isEmpty())
            d.channels.append({d.names[i], d.categoryIds[i], d.addresses[i], d.groupIds[i], d.leafFlags[i]});
    return d;
}

QList<MenuGroup> TvDirectory::categoryMenu(const QString& caption) const
{
    QString key;
    for (const Category& c : categories) {
        if (c.name == caption) {
            key = c.id;
            break;
        }
    }
    QList<MenuGroup> menu;
    for (const Group& g : groups) {
        if (g.categoryId != key)
            continue;
        MenuGroup item{g.name, {}};
        if (g.address.trimmed().isEmpty()) {
            for (const Channel& c : channels)
                if (c.categoryId == key && c.groupId == g.groupId)
                    item.channels.append(c.name);
        }
        menu.append(item);
    }
    return menu;
}

std::optional<Programme> TvDirectory::findPlayable(const QString& name) const
{
    for (qsizetype i = 0; i < names.size(); ++i)
        if (!addresses[i].isEmpty() && names[i] == name)
            return Programme{names[i], addresses[i]};
    return std::nullopt;
}

} // namespace tv
