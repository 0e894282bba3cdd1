// The companion server's site-evaluation list ("/gpreadzhpj.asp") and the address of the QQ
// finance site's daily index.
#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>

namespace info {

// Entry i of each list describes one site. A template without "{" adds a name but no address, so
// the two lists can differ in length; readers check the index against the list they read.
// A real list names half a dozen sites; a payload that would make more is cut here, so the
// drop-down stays quick to fill.
inline constexpr qsizetype kMaxSites = 1000;

struct SiteEvaluations {
    QStringList addresses;
    QStringList names;
};

// Records "template*name" ended by "]" after the payload marker, scanned as bytes; every "{" of a
// template becomes an address for `code`. For codes beginning with "0" or "3" a prefix holding
// "sh" anywhere has its last two characters replaced by "sz"; every other code keeps the template.
SiteEvaluations parseSiteEvaluations(const QByteArray& reply, const QString& code);

// `base` + "/a/" + yyyyMMdd of the day before `today` + "/": the previous day's index page.
QString dailyIndexAddress(const QString& base, const QDate& today);

} // namespace info
