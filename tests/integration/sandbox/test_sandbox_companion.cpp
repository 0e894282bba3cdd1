// The sandbox as the companion server, over real HTTP on loopback: the status page in each mode,
// the plain pages, and the state kept in SQLite (registrations, the alert switch, the mirrored
// alert tables, the online count) across restarts and apart between data folders.
#include "cli.h"
#include "requests.h"
#include "sandbox.h"
#include "store.h"

#include "net/codecs.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using sandbox::MirroredConfig;
using sandbox::Sandbox;
using Rows = QList<QStringList>;

namespace {

const QString kPhone = QStringLiteral("13800138000");
const QString kOtherPhone = QStringLiteral("13912345678");

sandbox::Options options(const QString& dataDir = {})
{
    sandbox::Options o;
    o.port = 0;
    o.dataDir = dataDir;
    return o;
}

// A GET, or with `form` (key, value, ...) a POST with each value percent-encoded from its GBK
// bytes, as the client sends it. Returns the body; *status and *type get the status code and the
// content type.
QByteArray fetch(const Sandbox& box, const QString& pathAndQuery, const QStringList& form = {}, int* status = nullptr,
                 QByteArray* type = nullptr)
{
    QNetworkAccessManager nam;
    QNetworkRequest request(QUrl(box.baseUrl() + pathAndQuery));
    request.setRawHeader("Connection", "close");
    request.setTransferTimeout(10000);
    QByteArray body;
    for (qsizetype i = 0; i + 1 < form.size(); i += 2)
        body += (i ? "&" : "") + net::toGbk(form[i]).toPercentEncoding() + '=' + net::toGbk(form[i + 1]).toPercentEncoding();
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
    QNetworkReply* reply = form.isEmpty() ? nam.get(request) : nam.post(request, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    if (status)
        *status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (type)
        *type = reply->rawHeader("Content-Type");
    return reply->readAll();
}

// The payload of a framed companion page; a null string when the page is not framed.
QString payloadOf(const QByteArray& body)
{
    const QByteArray open = "<html><body text=\"#000000\">", close = "</body></html>";
    if (!body.startsWith(open) || !body.endsWith(close))
        return {};
    return net::fromGbk(body.mid(open.size(), body.size() - open.size() - close.size()));
}

QString post(const Sandbox& box, const QString& path, const QStringList& form)
{
    return payloadOf(fetch(box, path, form));
}

// The "&2"-terminated records after the payload marker, blanks around each removed.
QStringList statusRecords(const QByteArray& body)
{
    const QString page = net::fromGbk(body), marker = QStringLiteral("\"#000000\">");
    const qsizetype at = page.indexOf(marker);
    QStringList records;
    if (at < 0)
        return records;
    QStringList fields = page.mid(at + marker.size()).split(QStringLiteral("&2"));
    fields.removeLast();   // what follows the last "&2" is no record
    for (const QString& f : fields)
        if (!f.trimmed().isEmpty())
            records << f.trimmed();
    return records;
}

// The table cells of a page in order, entities turned back into text.
QStringList cellsOf(const QString& page)
{
    static const QRegularExpression cell(QStringLiteral("<td>(.*?)</td>"));
    QStringList out;
    for (auto it = cell.globalMatch(page); it.hasNext();)
        out << it.next().captured(1).replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", "\"")
                   .replace("&#39;", "'").replace("&amp;", "&");
    return out;
}

// The client's full mirror of one phone's settings: the switch, then each table cleared and
// filled again.
void mirror(const Sandbox& box, const QString& sn, const QString& ycf, const Rows& t1, const Rows& t2, const Rows& t3)
{
    QCOMPARE(post(box, "/gpycf.asp", {"sn", sn, "ycf", ycf}), QStringLiteral("设置成功"));
    const Rows names{{"gpmc", "gpdm"}, {"zh", "ddcj", "ddmm", "zdf", "gpmc", "gpdm"}, {"sjjg", "gpdm", "gpmc"}};
    const QList<Rows> tables{t1, t2, t3};
    for (int t = 0; t < 3; ++t) {
        QCOMPARE(post(box, QStringLiteral("/gpdel%1.asp").arg(t + 1), {"sn", sn}), QStringLiteral("删除成功"));
        for (const QStringList& row : tables[t]) {
            QStringList form{"sn", sn};
            for (int i = 0; i < row.size(); ++i)
                form << names[t][i] << row[i];
            QCOMPARE(post(box, QStringLiteral("/gpadd%1.asp").arg(t + 1), form), QStringLiteral("添加成功"));
        }
    }
}

bool sameConfig(const MirroredConfig& c, bool registered, const QString& ycf, const Rows& t1, const Rows& t2,
                const Rows& t3)
{
    return c.registered == registered && c.ycf == ycf && c.table1 == t1 && c.table2 == t2 && c.table3 == t3;
}

} // namespace

class TestSandboxCompanion : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void statusPage_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("waiting");
        QTest::addColumn<QStringList>("records");   // "BASE" stands for the sandbox's address
        QTest::newRow("normal") << "normal" << "" << "" << QStringList{"1&1BASE/notice.html", "3&1BASE/waiting.html"};
        QTest::newRow("notice") << "notice" << "" << "" << QStringList{"2&1BASE/notice.html", "3&1BASE/waiting.html"};
        QTest::newRow("upgrade") << "upgrade" << "" << ""
                                 << QStringList{"1&1BASE/download.html", "2&1BASE/waiting.html"};
        QTest::newRow("ban") << "ban" << "" << "" << QStringList{"0&1BASE/ban.html", "3&1BASE/waiting.html"};
        QTest::newRow("link") << "notice" << "http://example.com/n.html?id=7" << ""
                              << QStringList{"2&1http://example.com/n.html?id=7", "3&1BASE/waiting.html"};
        QTest::newRow("both") << "ban" << "http://a.example/why" << "http://b.example/wait"
                              << QStringList{"0&1http://a.example/why", "3&1http://b.example/wait"};
    }

    void statusPage()
    {
        QFETCH(QString, mode);
        QFETCH(QString, link);
        QFETCH(QString, waiting);
        QFETCH(QStringList, records);
        Sandbox box(options());
        QVERIFY(box.start());
        box.setStatus(mode, link, waiting);
        const QByteArray page = fetch(box, "/gplogin.asp");
        QVERIFY(!payloadOf(page).isNull());
        QCOMPARE(statusRecords(page), records.replaceInStrings("BASE", box.baseUrl()));
        // The default addresses are pages this server has.
        for (const QString& record : records) {
            if (!record.mid(3).startsWith(box.baseUrl()))
                continue;
            int status = 0;
            fetch(box, record.mid(3 + box.baseUrl().size()), {}, &status);
            QCOMPARE(status, 200);
        }
    }

    void statusFromOptions()
    {
        sandbox::Options o = options();
        o.status = "upgrade";
        Sandbox box(o);
        QVERIFY(box.start());
        QCOMPARE(statusRecords(fetch(box, "/gplogin.asp")).value(1), "2&1" + box.baseUrl() + "/waiting.html");
        box.setStatus("closed");   // ignored
        QCOMPARE(statusRecords(fetch(box, "/gplogin.asp")).value(0), "1&1" + box.baseUrl() + "/download.html");

        o.status = "closed";
        Sandbox bad(o);
        QString error;
        QVERIFY(!bad.start(&error));
        QVERIFY(error.contains("closed"));
    }

    void plainPages_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("text");
        QTest::newRow("notice") << "/notice.html" << "欢迎使用";
        QTest::newRow("ban") << "/ban.html" << "停止为您服务";
        QTest::newRow("download") << "/download.html" << "新版本";
        QTest::newRow("waiting") << "/waiting.html" << "请稍候......";
        QTest::newRow("author") << "/author.html" << "QQ 10000";
        QTest::newRow("fetion") << "/fetion.html" << "飞信";
        QTest::newRow("chat") << "/msgrd?V=1&Uin=123456789" << "123456789";
        QTest::newRow("chat, no number") << "/msgrd?V=1&Uin=%3Cscript%3E" << "没有给出";
    }

    void plainPages()
    {
        QFETCH(QString, path);
        QFETCH(QString, text);
        Sandbox box(options());
        QVERIFY(box.start());
        int status = 0;
        QByteArray type;
        const QByteArray body = fetch(box, path, {}, &status, &type);
        QCOMPARE(status, 200);
        QCOMPARE(type, QByteArray("text/html; charset=gbk"));
        QVERIFY(payloadOf(body).isNull());   // a page for a person, not a framed reply
        QVERIFY(body.contains(net::toGbk(text)));
        QVERIFY(!body.contains("<script>"));
        QCOMPARE(payloadOf(fetch(box, "/gpall.asp")), QStringLiteral("OK"));
    }

    void registration()
    {
        Sandbox box(options());
        QVERIFY(box.start());
        QVERIFY(post(box, "/gpaddsj.asp", {"sn", kPhone}).contains("成功"));
        const QString again = post(box, "/gpaddsj.asp", {"sn", kPhone});
        QVERIFY(again.contains("存在") && !again.contains("成功"));
        QVERIFY(post(box, "/gpaddsj.asp", {"sn", kOtherPhone}).contains("成功"));
        for (const QString bad : {"1380013800", "138001380001", "1380013800a", " 13800138001", ""})
            QCOMPARE(post(box, "/gpaddsj.asp", {"sn", bad}), QStringLiteral("号码错误"));
        QCOMPARE(box.registeredNumbers(), (QStringList{kPhone, kOtherPhone}));

        // The switch of a new number is stored without registering it.
        QCOMPARE(post(box, "/gpycf.asp", {"sn", "15000000000", "ycf", "0"}), QStringLiteral("设置成功"));
        QVERIFY(sameConfig(box.mirroredConfig("15000000000"), false, "0", {}, {}, {}));
        QVERIFY(post(box, "/gpaddsj.asp", {"sn", "15000000000"}).contains("成功"));
    }

    void mirrorSequenceReplacesTheTables()
    {
        Sandbox box(options());
        QVERIFY(box.start());
        post(box, "/gpaddsj.asp", {"sn", kPhone});
        const Rows t1{{"平安银行", "000001"}};
        const Rows t2{{"1010", "3", "4", "5.5", "万科Ａ", "000002"}, {"0001", "", "", "-3", "东方财富", "300059"}};
        const Rows t3{{"15", "600036", "招商银行"}};
        mirror(box, kPhone, "1", t1, t2, t3);
        QVERIFY(sameConfig(box.mirroredConfig(kPhone), true, "1", t1, t2, t3));

        // Another phone's rows are its own.
        const Rows other{{"浦发银行", "600000"}};
        mirror(box, kOtherPhone, "1", other, {}, {});
        const Rows t1b{{"招商银行", "600036"}, {"平安银行", "000001"}, {"万科Ａ", "000002"}};
        const Rows t2b{{"1111", "2", "2", "10", "浦发银行", "600000"}};
        mirror(box, kPhone, "0", t1b, t2b, {});
        QVERIFY(sameConfig(box.mirroredConfig(kPhone), true, "0", t1b, t2b, {}));
        QVERIFY(sameConfig(box.mirroredConfig(kOtherPhone), false, "1", other, {}, {}));
    }

    void malformedFormsChangeNothing_data()
    {
        QTest::addColumn<QStringList>("form");   // path, then key, value, ...
        QTest::addColumn<QString>("payload");
        QTest::newRow("switch") << QStringList{"/gpycf.asp", "sn", kPhone, "ycf", "2"} << "参数错误：ycf";
        QTest::newRow("zh") << QStringList{"/gpadd2.asp", "sn", kPhone, "zh", "101", "ddcj", "3", "ddmm", "4", "zdf",
                                           "5", "gpmc", "万科Ａ", "gpdm", "000002"}
                            << "参数错误：zh";
        QTest::newRow("sjjg missing") << QStringList{"/gpadd3.asp", "sn", kPhone, "gpdm", "600036", "gpmc", "招商"}
                                      << "参数错误：sjjg";
        QTest::newRow("number") << QStringList{"/gpdel1.asp", "sn", "1380013800x"} << "号码错误";
    }

    void malformedFormsChangeNothing()
    {
        QFETCH(QStringList, form);
        QFETCH(QString, payload);
        Sandbox box(options());
        QVERIFY(box.start());
        mirror(box, kPhone, "1", {{"平安银行", "000001"}}, {}, {});
        const QString path = form.takeFirst();
        QCOMPARE(post(box, path, form), payload);
        QVERIFY(sameConfig(box.mirroredConfig(kPhone), false, "1", {{"平安银行", "000001"}}, {}, {}));
    }

    void namesRoundTripAndShowPage()
    {
        Sandbox box(options());
        QVERIFY(box.start());
        const QStringList names{"平安');drop table x;--", "\"双引号\"银行", "招商&银行=100%+",
                                "<b>万科</b> \\ 'A'"};
        Rows t1, t2, t3;
        for (int i = 0; i < names.size(); ++i) {
            const QString code = QStringLiteral("60000%1").arg(i);
            t1.append({names[i], code});
            t2.append({"0110", "2", "3", "1.5", names[i], code});
            t3.append({"30", code, names[i]});
        }
        post(box, "/gpaddsj.asp", {"sn", kPhone});
        mirror(box, kPhone, "1", t1, t2, t3);
        QVERIFY(sameConfig(box.mirroredConfig(kPhone), true, "1", t1, t2, t3));

        // The page for a person shows the same rows, table after table, escaped.
        const QString page = net::fromGbk(fetch(box, "/gpshow.asp?sn=" + kPhone));
        QVERIFY(page.contains("已注册") && page.contains("开（"));
        QVERIFY(!page.contains("<b>万科"));
        QStringList cells;
        for (const Rows& table : {t1, t2, t3})
            for (int i = 0; i < table.size(); ++i)
                cells << QString::number(i + 1) << table[i];
        QCOMPARE(cellsOf(page), cells);

        const QString unknown = net::fromGbk(fetch(box, "/gpshow.asp?sn=" + kOtherPhone));
        QVERIFY(unknown.contains("未注册") && unknown.contains("未设置") && cellsOf(unknown).isEmpty());
        const QByteArray bad = fetch(box, "/gpshow.asp?sn=%3Ci%3E");
        QVERIFY(net::fromGbk(bad).contains("号码错误") && !bad.contains("<i>"));
    }

    void stateSurvivesARestartAndStaysInItsFolder()
    {
        QTemporaryDir dir;
        const QString first = dir.filePath("first");
        const Rows t1{{"平安'银行", "000001"}}, t3{{"10", "000001", "平安'银行"}};
        {
            Sandbox box(options(first));
            QVERIFY(box.start());
            post(box, "/gpaddsj.asp", {"sn", kPhone});
            mirror(box, kPhone, "1", t1, {}, t3);
        }
        QVERIFY(QFile::exists(first + "/companion.db"));

        // Two at once, one on each folder.
        Sandbox again(options(first)), elsewhere(options(dir.filePath("second")));
        QVERIFY(again.start() && elsewhere.start());
        QVERIFY(sameConfig(again.mirroredConfig(kPhone), true, "1", t1, {}, t3));
        QVERIFY(post(again, "/gpaddsj.asp", {"sn", kPhone}).contains("存在"));
        QVERIFY(sameConfig(elsewhere.mirroredConfig(kPhone), false, "", {}, {}, {}));
        QVERIFY(post(elsewhere, "/gpaddsj.asp", {"sn", kPhone}).contains("成功"));
        mirror(elsewhere, kPhone, "0", {}, {}, {});
        QVERIFY(sameConfig(again.mirroredConfig(kPhone), true, "1", t1, {}, t3));
    }

    void onlineCountIsKeptInTheDataFolder()
    {
        QTemporaryDir dir;
        const QDateTime now = QDateTime::currentDateTime();
        {
            // Earlier clients: one a minute ago (also through its IPv6-mapped form), one eleven.
            server::CompanionStore store;
            QVERIFY(store.open(dir.filePath("companion.db")));
            server::OnlineCounter online(store);
            online.seen(QHostAddress("10.0.0.5"), now.addSecs(-90));
            online.seen(QHostAddress("::ffff:10.0.0.5"), now.addSecs(-60));
            online.seen(QHostAddress("10.0.0.6"), now.addSecs(-11 * 60));
        }
        {
            Sandbox box(options(dir.path()));
            QVERIFY(box.start());
            // 10.0.0.5 and this test's own address, however often it asks.
            QCOMPARE(payloadOf(fetch(box, "/gpreadall.asp")), QStringLiteral(" 2 "));
            QCOMPARE(payloadOf(fetch(box, "/gpreadall.asp")), QStringLiteral(" 2 "));
        }
        Sandbox fresh(options());
        QVERIFY(fresh.start());
        QCOMPARE(payloadOf(fetch(fresh, "/gpreadall.asp")), QStringLiteral(" 1 "));
    }

    void onlineWindow()
    {
        QTemporaryDir dir;
        server::CompanionStore store;
        QVERIFY(store.open(dir.filePath("companion.db")));
        const QDateTime t0(QDate(2026, 12, 9), QTime(10, 0));
        server::OnlineCounter online(store);
        online.seen(QHostAddress("10.0.0.1"), t0);
        online.seen(QHostAddress("::ffff:10.0.0.1"), t0.addSecs(60));   // the same client
        online.seen(QHostAddress("10.0.0.2"), t0.addSecs(5 * 60));
        online.seen(QHostAddress("10.0.0.2"), t0.addSecs(2 * 60));   // late news of an earlier visit
        QCOMPARE(online.count(t0.addSecs(6 * 60)), 2);
        QCOMPARE(online.count(t0.addSecs(11 * 60 + 30)), 1);   // 10.0.0.1 last seen 10.5 minutes ago
        QCOMPARE(online.count(t0.addSecs(15 * 60)), 1);        // exactly ten minutes still counts
        online.seen(QHostAddress("10.0.0.1"), t0.addSecs(12 * 60));
        QCOMPARE(online.count(t0.addSecs(14 * 60)), 2);
        QCOMPARE(online.count(t0.addSecs(30 * 60)), 0);
    }

    void commandLine()
    {
        const sandbox::CommandLine set = sandbox::parseCommandLine(
            {"huilan-sandbox", "--status", "ban", "--status-link", "http://e.example/a?x=1", "--waiting-page",
             "https://e.example/w"});
        QVERIFY2(set.error.isEmpty(), qPrintable(set.error));
        QCOMPARE(set.options.status, QStringLiteral("ban"));
        QCOMPARE(set.options.statusLink, QStringLiteral("http://e.example/a?x=1"));
        QCOMPARE(set.options.waitingPage, QStringLiteral("https://e.example/w"));
        QCOMPARE(sandbox::parseCommandLine({"huilan-sandbox"}).options.status, QStringLiteral("normal"));
        for (const QStringList& bad : QList<QStringList>{{"--status", "closed"},
                                                         {"--status-link", "http://e.example/?a=1&2=b"},
                                                         {"--waiting-page", "not a url"}})
            QVERIFY2(!sandbox::parseCommandLine(QStringList{"huilan-sandbox"} + bad).error.isEmpty(),
                     qPrintable(bad.join(' ')));

        // The executable itself: a bad mode is a usage error.
        QProcess process;
        process.start(HUILAN_SANDBOX_EXE, {"--port", "0", "--status", "closed"});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardError().contains("--status"));
    }
};

QTEST_GUILESS_MAIN(TestSandboxCompanion)
#include "test_sandbox_companion.moc"
