// The blog directory the companion server publishes at "/gpreadtoady1.asp", and the test that
// tells whether a blog's page mentions a stock.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace info {

// Today's information link and the blogs, entry i of each list describing one blog. A payload
// that breaks the "address*name|" pattern can leave the two lists of different lengths; every
// reader checks an index against the list it reads.
// A real directory lists a dozen blogs; names past this many are dropped, so a runaway payload
// cannot flood the drop-down.
inline constexpr qsizetype kMaxBlogs = 1000;

struct BlogDirectory {
    QString todayLink;
    QStringList addresses;
    QStringList names;
};

// Scans the reply as bytes. The body lies between the last payload marker before the first
// "</body>" that follows a marker, trimmed; an unframed or empty body gives an empty directory.
// The body is "link*ignored|" and then "address*name|" per blog.
BlogDirectory parseBlogDirectory(const QByteArray& reply);

// The reply of a blog page read both as GBK and as UTF-8; found when either reading contains the
// stock's name or its code.
bool mentionsStock(const QByteArray& page, const QString& name, const QString& code);

} // namespace info
