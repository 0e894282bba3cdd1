#include "liveforum.h"

#include "upstream.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <algorithm>

namespace feed::liveforum {

namespace {

// The forum's post type of a 财富号 article: its page is on the 财富号 site, not on the forum.
constexpr int kCaifuhaoType = 20;

// The device id the JSON service is asked with, as a browser's script makes one: random, the same
// for the whole run.
QString deviceId()
{
    static const QString id = QString::number(QRandomGenerator::global()->generate64() % 10'000'000'000'000'000ULL);
    return id;
}

// An id as the services write it, as a string or as a number: digits only.
QString idOf(const QJsonValue& v)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,30}$"));
    QString text;
    if (v.isString())
        text = v.toString().trimmed();
    else if (const auto n = upstream::countValue(v); n && v.isDouble())
        text = QString::number(*n);
    return digits.match(text).hasMatch() ? text : QString();
}

// A bar code, which the services write as a string (a number now and then).
QString barOf(const QJsonObject& row)
{
    QJsonValue v = row.value(QStringLiteral("stockbar_code"));
    if (v.isUndefined() || v.isNull())
        v = row.value(QStringLiteral("post_guba")).toObject().value(QStringLiteral("stockbar_code"));
    if (v.isDouble()) {
        const auto n = upstream::countValue(v);   // a number out of range names no bar
        return n ? QString::number(*n) : QString();
    }
    return v.toString().trimmed();
}

std::optional<QList<ForumPost>> postsIn(const QJsonObject& root, const QString& code)
{
    const QJsonValue list = root.value(QStringLiteral("re"));
    if (!list.isArray())
        return std::nullopt;
    QList<ForumPost> out;
    const QJsonArray rows = list.toArray();
    for (const QJsonValue& v : rows) {
        const QJsonObject row = v.toObject();
        if (barOf(row) != code)
            continue;   // a pinned or hot post of another bar
        const QString id = idOf(row.value(QStringLiteral("post_id")));
        const QDateTime posted = QDateTime::fromString(row.value(QStringLiteral("post_publish_time")).toString(),
                                                       QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        const auto clicks = upstream::countValue(row.value(QStringLiteral("post_click_count")));
        const auto replies = upstream::countValue(row.value(QStringLiteral("post_comment_count")));
        if (id.isEmpty() || !posted.isValid() || !clicks || !replies)
            return std::nullopt;
        const QString title = upstream::plainText(row.value(QStringLiteral("post_title")).toString());
        if (title.isEmpty())
            continue;   // nothing to show in the list
        QDateTime updated = QDateTime::fromString(row.value(QStringLiteral("post_last_time")).toString(),
                                                  QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!updated.isValid() || updated < posted)
            updated = posted;
        const QJsonValue type = row.value(QStringLiteral("post_type"));
        const int kind = type.isString() ? type.toString().toInt() : type.toInt();
        const QString article = idOf(row.value(QStringLiteral("post_source_id")));
        const QString link = kind == kCaifuhaoType && !article.isEmpty()
                                 ? QStringLiteral("caifuhao,%1,%2.html").arg(code, article)
                                 : QStringLiteral("news,%1,%2.html").arg(code, id);
        out.append({link, posted, updated, title, upstream::plainText(row.value(QStringLiteral("user_nickname")).toString()),
                    *clicks, *replies});
    }
    std::stable_sort(out.begin(), out.end(), [](const ForumPost& a, const ForumPost& b) { return a.posted > b.posted; });
    return out;
}

// The object literal that starts at `from` (a '{'), up to its matching '}', strings and their
// escapes skipped; empty when the text ends first.
QByteArray objectAt(const QByteArray& text, qsizetype from)
{
    int depth = 0;
    bool inString = false;
    for (qsizetype i = from; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{') {
            ++depth;
        } else if (c == '}' && --depth == 0) {
            return text.mid(from, i - from + 1);
        }
    }
    return {};
}

std::optional<QJsonObject> objectOf(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    return doc.object();
}

} // namespace

QString listPath(const QString& code)
{
    return QStringLiteral("/list,%1,f_1.html").arg(code);
}

QString articleListPath(const QString& code)
{
    return QStringLiteral("/webarticlelist/api/Article/Articlelist?code=%1&p=1&ps=%2&type=0&sorttype=0&product=Guba"
                          "&plat=Web&version=200&deviceid=%3")
        .arg(code)
        .arg(kPageSize)
        .arg(deviceId());
}

QList<QPair<QByteArray, QByteArray>> requestHeaders(const QString& upstream)
{
    if (upstream != QLatin1String("guba") && upstream != QLatin1String("gbapi"))
        return {};
    return {{"User-Agent", "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
                           "Chrome/120.0.0.0 Safari/537.36"},
            {"Accept", upstream == QLatin1String("guba") ? "text/html,application/xhtml+xml,*/*;q=0.8"
                                                         : "application/json, text/javascript, */*; q=0.01"},
            {"Accept-Language", "zh-CN,zh;q=0.9"},
            {"Referer", "https://guba.eastmoney.com/"}};
}

QString postAddress(const QString& code, const QString& postId)
{
    return QStringLiteral("https://guba.eastmoney.com/news,%1,%2.html").arg(code, postId);
}

QString caifuhaoAddress(const QString& articleId)
{
    return QStringLiteral("https://caifuhao.eastmoney.com/news/%1").arg(articleId);
}

std::optional<QList<ForumPost>> readListPage(const QByteArray& body, const QString& code)
{
    // A captcha or identity-check page has no post list at all: a failure, never "no posts".
    static const QRegularExpression lead(QStringLiteral("var\\s+article_list\\s*=\\s*\\{"));
    const QRegularExpressionMatch m = lead.match(QString::fromLatin1(body));
    if (!m.hasMatch())
        return std::nullopt;
    const auto root = objectOf(objectAt(body, m.capturedEnd() - 1));
    if (!root)
        return std::nullopt;
    const QJsonValue rc = root->value(QStringLiteral("rc"));
    if (!rc.isUndefined() && rc.toInt(-1) != 1)
        return std::nullopt;
    return postsIn(*root, code);
}

std::optional<QList<ForumPost>> readArticleList(const QByteArray& body, const QString& code)
{
    const auto root = objectOf(body);
    if (!root || root->value(QStringLiteral("rc")).toInt(-1) != 1)
        return std::nullopt;
    return postsIn(*root, code);
}

QList<ForumPost> postsOf(const QList<ForumPost>& posts, const QDate& day)
{
    QList<ForumPost> out;
    for (const ForumPost& p : posts)
        if (p.posted.date() == day)
            out.append(p);
    return out;
}

} // namespace feed::liveforum
