// The live sources of a stock's commentary line, research reports and rumours: the address of each
// request and a reader for each reply. As in upstream.h, a reader returns nothing for a reply that
// is not in its format or that reports a failure, so the caller fails or tries the next source;
// "nothing today" is an empty answer, never a failure.
//
// Commentary: East Money's data centre (`datacenter`), the 千股千评 diagnosis text, else the
// volume-trend comment, else a line made from the day's figures (score, rank, main-force cost,
// institutional participation). Reports: East Money's report service (`reportapi`). Rumours: the
// 传闻求证 section of East Money's 问董秘 on the forum host (`guba`), else the exchange's investor
// Q&A: cninfo's 互动易 for Shenzhen and Beijing codes (`cninfo-irm`), 上证e互动 for Shanghai ones
// (`sse-sns`). A rumour's id names its source ("wdm", "irm" or "sns" and the question's number), so
// the page behind it can send the browser on to the question without remembering anything.
#pragma once

#include "marketfeed.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

namespace feed::livenews {

// How many rumours and reports a company news page lists at most.
inline constexpr int kItems = 6;

// The three data-centre reports the commentary is read from, in the order they are tried.
enum class CommentReport { Diagnosis, TrendVolume, Figures };
QString commentPath(CommentReport report, const QString& code);
// The comment text of a Diagnosis or TrendVolume reply, or the line made from a Figures reply;
// empty when the report has nothing for the stock today (code 9201, no row, no text, no figure).
// Nothing for another non-success code, or a figure out of its range.
std::optional<QString> readComment(CommentReport report, const QByteArray& body);

// The stock's research reports, newest first; `today` bounds the time range asked for.
QString reportListPath(const QString& code, const QDate& today);
// Up to kItems reports, newest publishDate first: title led by the institution, the day, the
// report's page on East Money's data site. An empty list: no reports.
std::optional<QList<CompanyNewsEntry>> readReports(const QByteArray& body);

// 问董秘, 传闻求证: a POST of `questionForm(code)` to questionPath().
QString questionPath();
QByteArray questionForm(const QString& code);
// The answered questions of the reply, newest first (rc 1; rc other than 1 with 暂无 in the
// message is an empty list, any other rc a failure).
std::optional<QList<CompanyNewsEntry>> readQuestions(const QByteArray& body);

// 互动易: the company's organisation id first (a POST of irmOrgForm), then its questions.
QString irmOrgPath();
QByteArray irmOrgForm(const QString& code);
// The organisation id of `code`; an empty text when the platform does not list the code.
std::optional<QString> readIrmOrg(const QByteArray& body, const QString& code);
QString irmQuestionPath(const QString& code, const QString& orgId);
// The answered questions, newest first.
std::optional<QList<CompanyNewsEntry>> readIrmQuestions(const QByteArray& body);

// 上证e互动: the company's user id first (a POST of snsCompanyForm), then its answered questions.
QString snsCompanyPath();
QByteArray snsCompanyForm(const QString& code);
// The user id; an empty text when the platform does not know the code.
std::optional<QString> readSnsCompany(const QByteArray& body);
QString snsQuestionPath(const QString& uid);
// The answered questions of the feed, newest first; `now` dates the feed's "N分钟前" times.
std::optional<QList<CompanyNewsEntry>> readSnsQuestions(const QByteArray& body, const QDateTime& now);

// Where the question `id` (a rumour id above) of the stock `code` is read in a browser; none for an
// id of another form.
std::optional<QString> rumourAddress(const QString& code, const QString& id);

} // namespace feed::livenews
