// Writes the fuzz seeds: the pages the sandbox serves, fetched over loopback from an in-process
// sandbox the way the program fetches them, one folder per fuzz target.
//
//   huilan-fuzz-seed FOLDER     (scripts/fuzz-seed runs it with FOLDER = fuzz/corpus)
//
// The sandbox world is fixed (seed 1, a trading afternoon), so the seeds hardly change from run to
// run (the board's post times move with the real seconds the run takes).
#include "bigorder/bigorderpages.h"
#include "info/announcements.h"
#include "info/blogsearch.h"
#include "info/commentary.h"
#include "info/rumours.h"
#include "market/indexsummary.h"
#include "market/quote.h"
#include "net/codecs.h"
#include "net/form.h"
#include "net/httpclient.h"
#include "market.h"
#include "sandbox.h"
#include "store.h"
#include "tv/tvdirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>

namespace {

class SeedWriter {
public:
    SeedWriter(const QString& folder, const QString& base) : m_folder(folder), m_base(base) {}

    // The sandbox listens on a free port; the seeds name the default one instead, so they do not
    // change from run to run.
    void save(const QString& target, const QString& name, QByteArray bytes)
    {
        bytes.replace(m_base.toLatin1(), "http://127.0.0.1:8780");
        const QString dir = m_folder + QLatin1Char('/') + target;
        QDir().mkpath(dir);
        QFile file(dir + QStringLiteral("/seed-") + name);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "huilan-fuzz-seed: cannot write %s\n", qPrintable(file.fileName()));
            m_ok = false;
        }
        ++m_written;
    }

    QByteArray get(const QString& pathAndQuery) { return fetch(pathAndQuery, nullptr); }
    QByteArray post(const QString& path, const net::Form& form) { return fetch(path, &form); }

    // A page saved as the seed `name` of `target`.
    void page(const QString& target, const QString& name, const QString& pathAndQuery)
    {
        save(target, name, get(pathAndQuery));
    }

    bool ok() const { return m_ok; }
    int written() const { return m_written; }

private:
    QByteArray fetch(const QString& pathAndQuery, const net::Form* form)
    {
        const QString url = m_base + pathAndQuery;
        try {
            return form ? m_http.post(url, *form) : m_http.get(url);
        } catch (const net::HttpFailure& failure) {
            std::fprintf(stderr, "huilan-fuzz-seed: %s failed: %s\n", qPrintable(url), failure.what());
            m_ok = false;
            return {};
        }
    }

    QString m_folder, m_base;
    net::HttpClient m_http{QStringLiteral("seed")};
    bool m_ok = true;
    int m_written = 0;
};

// What the sandbox's request reading gets: a request target, a line feed, a form body.
QByteArray request(const QString& target, const net::Form& form = {})
{
    return target.toLatin1() + '\n' + net::encodeForm(form);
}

void requestSeeds(SeedWriter& out)
{
    const QString sn = QStringLiteral("13800138000");
    QList<QPair<QString, QByteArray>> requests = {
        {QStringLiteral("addnumber"), request(QStringLiteral("/gpaddsj.asp"), {{QStringLiteral("sn"), sn}})},
        {QStringLiteral("switch"),
         request(QStringLiteral("/gpycf.asp"), {{QStringLiteral("sn"), sn}, {QStringLiteral("ycf"), QStringLiteral("1")}})},
        {QStringLiteral("delete2"), request(QStringLiteral("/gpdel2.asp"), {{QStringLiteral("sn"), sn}})},
        {QStringLiteral("show"), request(QStringLiteral("/gpshow.asp?sn=") + sn)},
        {QStringLiteral("quote"), request(QStringLiteral("/EM_Quote2007/optional.aspx?type=z&fav=600000&hick=zhou"))},
        {QStringLiteral("stockname"), request(QStringLiteral("/gpgetstock.asp?name=%C6%D6%B7%A2%D2%F8%D0%D0"))},
        {QStringLiteral("post"), request(QStringLiteral("/gpjg.asp"), {{QStringLiteral("gpdm"), QStringLiteral("600000")},
                                                                   {QStringLiteral("gpmc"), QStringLiteral("浦发银行")},
                                                                   {QStringLiteral("tjly"), QStringLiteral("业绩稳定，分红高")}})},
    };
    // One add per mirrored table, every field filled the way the client fills it.
    const QHash<QString, QString> values = {
        {QStringLiteral("gpmc"), QStringLiteral("浦发银行")}, {QStringLiteral("gpdm"), QStringLiteral("600000")},
        {QStringLiteral("zh"), QStringLiteral("1010")},       {QStringLiteral("ddcj"), QStringLiteral("500")},
        {QStringLiteral("ddmm"), QStringLiteral("")},         {QStringLiteral("zdf"), QStringLiteral("-3.5")},
        {QStringLiteral("sjjg"), QStringLiteral("15")}};
    for (int table = 1; table <= server::CompanionStore::kTables; ++table) {
        net::Form form{{QStringLiteral("sn"), sn}};
        for (const QString& field : server::CompanionStore::tableFields(table))
            form.append({field, values.value(field)});
        requests.append({QStringLiteral("add%1").arg(table), request(QStringLiteral("/gpadd%1.asp").arg(table), form)});
    }
    for (const auto& [name, bytes] : requests) {
        out.save(QStringLiteral("sandboxforms"), name, bytes);
        out.save(QStringLiteral("sandboxrequests"), name, bytes);
    }
}

void pageSeeds(SeedWriter& out, sandbox::Sandbox& box, const QStringList& codes)
{
    for (const QString& code : codes) {
        out.page(QStringLiteral("quote"), code, market::quoteAddress({}, code));
        out.page(QStringLiteral("forum"), code, QStringLiteral("/topic,%1.html").arg(code));
        out.page(QStringLiteral("commentary"), code, info::commentaryPath(code));
        out.page(QStringLiteral("notices"), code, info::noticeListPath(code));
        out.page(QStringLiteral("companypage"), code, info::companyPagePath(code));
        // The first byte tells the target the reply's content type; '0' is the site's GBK.
        using bigorder::Page;
        for (const auto& [page, name] : {std::pair{Page::Hourly, "hourly"}, {Page::Day, "day"}, {Page::Pie, "pie"}})
            out.save(QStringLiteral("bigorderkeys"), code + QLatin1Char('-') + QLatin1String(name),
                     '0' + out.get(bigorder::pageAddress({}, code, page)));
    }
    out.page(QStringLiteral("indexpage"), QStringLiteral("index"), market::indexAddress({}));
    out.page(QStringLiteral("onlinecount"), QStringLiteral("online"), QStringLiteral("/gpreadall.asp"));
    for (const QString& mode : {QStringLiteral("normal"), QStringLiteral("notice"), QStringLiteral("upgrade"), QStringLiteral("ban")}) {
        box.setStatus(mode);
        out.page(QStringLiteral("statuspage"), mode, QStringLiteral("/gplogin.asp"));
    }
    box.setStatus(QStringLiteral("normal"));
    out.page(QStringLiteral("newsflash"), QStringLiteral("list"), QStringLiteral("/news/cgszb.html"));
    out.page(QStringLiteral("evaluations"), QStringLiteral("sites"), QStringLiteral("/gpreadzhpj.asp"));

    // The blog directory, and two of the blog pages it lists (the stock test reads those).
    const QByteArray directory = out.get(QStringLiteral("/gpreadtoady1.asp"));
    out.save(QStringLiteral("blogdirectory"), QStringLiteral("directory"), directory);
    const info::BlogDirectory blogs = info::parseBlogDirectory(directory);
    for (qsizetype i = 0; i < blogs.addresses.size() && i < 2; ++i)
        if (blogs.addresses[i].startsWith(box.baseUrl()))
            out.page(QStringLiteral("blogdirectory"), QStringLiteral("blog%1").arg(i + 1),
                     blogs.addresses[i].mid(box.baseUrl().size()));

    // The TV directory, and the scrambled address field of a few of its records.
    const QByteArray tvPage = out.get(QStringLiteral("/gp1gettvdata.asp"));
    out.save(QStringLiteral("tvdirectory"), QStringLiteral("directory"), tvPage);
    int addresses = 0;
    for (const QString& record : tv::tvRecords(net::fromGbk(tvPage))) {
        const qsizetype from = record.indexOf(QLatin1String("&1")), to = record.indexOf(QLatin1String("&2"));
        if (from < 0 || to <= from + 2 || addresses == 3)
            continue;
        out.save(QStringLiteral("jiemi"), QStringLiteral("address%1").arg(++addresses),
                 net::toGbk(record.mid(from + 2, to - from - 2)));
    }

    // The recommendation board, a post's replies (taken, then refused twice over the day's
    // limit), and the board with the post on it.
    out.page(QStringLiteral("board"), QStringLiteral("board"), QStringLiteral("/gpjgshow.asp"));
    const net::Form post{{QStringLiteral("gpdm"), codes.first()},
                         {QStringLiteral("gpmc"), box.market().nameOf(codes.first())},
                         {QStringLiteral("tjly"), QStringLiteral("量价齐升")}};
    for (int i = 1; i <= 3; ++i)
        out.save(QStringLiteral("board"), QStringLiteral("post%1").arg(i), out.post(QStringLiteral("/gpjg.asp"), post));
    out.page(QStringLiteral("board"), QStringLiteral("board-posted"), QStringLiteral("/gpjgshow.asp"));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: huilan-fuzz-seed FOLDER\n");
        return 2;
    }
    sandbox::Options options;
    options.port = 0;
    options.seed = 1;
    options.clockStart = QDateTime(QDate(2026, 12, 9), QTime(14, 35));   // a Wednesday afternoon
    sandbox::Sandbox box(options);
    QString error;
    if (!box.start(&error)) {
        std::fprintf(stderr, "huilan-fuzz-seed: the sandbox did not start: %s\n", qPrintable(error));
        return 1;
    }
    SeedWriter out(QString::fromLocal8Bit(argv[1]), box.baseUrl());
    // A Shanghai, a Shenzhen and a ChiNext stock.
    const QStringList all = box.market().codes();
    QStringList codes;
    for (const QChar first : {u'6', u'0', u'3'})
        for (const QString& code : all)
            if (code.startsWith(first)) {
                codes << code;
                break;
            }
    pageSeeds(out, box, codes);
    requestSeeds(out);
    std::printf("huilan-fuzz-seed: %d seeds written to %s\n", out.written(), argv[1]);
    return out.ok() ? 0 : 1;
}
