// The outside sites that publish an evaluation of a stock, as the companion server lists them in
// "/gpreadzhpj.asp", and their evaluation pages ("/pj/<site>/..."). GBK.
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

namespace sandbox {

class Market;

namespace evaluations {

struct Site {
    QString addressTemplate;   // "{" where the stock code belongs
    QString name;
};

// Every site with its template on the sandbox, in list order. Some templates put "sh" before
// the code, which the application turns into "sz" for Shenzhen and ChiNext codes.
QList<Site> sites(const QString& baseUrl);
// The live market's list: today's stock pages of real finance sites. Most of their addresses take
// the bare code, so they fit Beijing stocks as well; the one that takes the exchange carries "sh",
// which the program turns into "sz" for Shenzhen codes.
QList<Site> liveSites();

// The evaluation page at `path` + `query`: the site comes from the path, the stock from the first
// six-digit code in path or query. Nothing for an unknown site or stock.
std::optional<QString> page(Market& market, const QString& path, const QString& query, const QDateTime& t);

} // namespace evaluations
} // namespace sandbox
