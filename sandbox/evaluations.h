// The outside sites that publish an evaluation of a stock, as the companion server lists them in
// "/gpreadzhpj.asp", and their evaluation pages ("/pj/<site>/..."). GBK.
#pragma once

#include "companioninfo.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

namespace feed {
class Market;
}

namespace sandbox {

using namespace feed;

namespace evaluations {

using Site = server::companioninfo::EvaluationSite;

// Every site with its template on the sandbox, in list order. Some templates put "sh" before
// the code, which the application turns into "sz" for Shenzhen and ChiNext codes.
QList<Site> sites(const QString& baseUrl);
// The evaluation page at `path` + `query`: the site comes from the path, the stock from the first
// six-digit code in path or query. Nothing for an unknown site or stock.
std::optional<QString> page(Market& market, const QString& path, const QString& query, const QDateTime& t);

} // namespace evaluations
} // namespace sandbox
