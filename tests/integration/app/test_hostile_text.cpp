// Every page the program reads, rewritten by a hostile server: the texts the program shows get
// markup, control characters or 100 000 characters added, and every address becomes a file:,
// data:, javascript: or custom-scheme one. The rewritten pages keep their real layout: the test
// first runs the program against the plain sandbox, records every page it read and every text it
// showed, then puts those texts back into the pages in hostile form. Nothing may be rendered as
// markup, opened, fetched or played that is not a web (or stream) address, and nothing may crash.
#include "app/mainwindow.h"
#include "app/windowset.h"
#include "appfixture.h"
#include "info/cellgrid.h"
#include "info/announcementswindow.h"
#include "net/codecs.h"
#include "tv/tvcontroller.h"
#include "tv/tvdirectory.h"
#include "tv/tvwidgets.h"
#include "widgets/messageboxprompter.h"
#include "widgets/widgets.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSet>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <functional>

namespace {

enum class Hostility { Markup, ControlCharacters, LongFields, Addresses };

// A file whose content must never show anywhere: reading a file: address would bring it in.
const QString kSentinel = QStringLiteral("SENTINEL-LOCAL-FILE");
const QString kMarker = QStringLiteral("HX9");   // added to every hostile text, to find it again

struct Page {
    QString key;   // path, or path?query, as the sandbox matches fixed pages
    QByteArray body;
    QByteArray type;
};

Page fetch(QNetworkAccessManager& manager, const QString& base, const sandbox::LoggedRequest& r)
{
    const QString key = r.query.isEmpty() ? r.path : r.path + u'?' + r.query;
    QNetworkRequest request(QUrl(base + key));
    request.setTransferTimeout(3000);   // a stream that never ends is not a page
    QNetworkReply* reply = manager.get(request);
    QTimer::singleShot(3000, reply, &QNetworkReply::abort);   // nor is one that never stops
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError)
        return {key, {}, {}};
    return {key, reply->readAll(), reply->header(QNetworkRequest::ContentTypeHeader).toByteArray()};
}

bool isUtf8(const QByteArray& type)
{
    return type.toLower().contains("utf-8");
}

bool isCjk(QChar c)
{
    return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF;
}

// Runs of two or more Chinese characters: names, titles and words as a page carries them.
QSet<QString> chineseRuns(const QString& text)
{
    QSet<QString> out;
    qsizetype start = -1;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const bool cjk = i < text.size() && isCjk(text[i]);
        if (cjk && start < 0)
            start = i;
        if (!cjk && start >= 0) {
            if (i - start >= 2)
                out.insert(text.mid(start, i - start));
            start = -1;
        }
    }
    return out;
}

void collectMenu(const QMenu* menu, QStringList& out)
{
    for (const QAction* a : menu->actions()) {
        out << a->text();
        if (a->menu())
            collectMenu(a->menu(), out);
    }
}

struct Shown {
    QString where;   // window/control
    QString text;
};

// Every text any window shows: labels, buttons, items, titles, menus and hints.
QList<Shown> shownTexts()
{
    QList<Shown> out;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        QList<QWidget*> widgets = top->findChildren<QWidget*>();
        widgets << top;
        for (QWidget* w : widgets) {
            QStringList texts{w->toolTip(), w->windowTitle()};
            if (auto* l = qobject_cast<QLabel*>(w))
                texts << l->text();
            else if (auto* b = qobject_cast<QAbstractButton*>(w))
                texts << b->text();
            else if (auto* g = qobject_cast<QGroupBox*>(w))
                texts << g->title();
            else if (auto* c = qobject_cast<QComboBox*>(w))
                for (int i = 0; i < c->count(); ++i)
                    texts << c->itemText(i);
            else if (auto* t = qobject_cast<QTableWidget*>(w))
                for (int r = 0; r < t->rowCount(); ++r)
                    for (int k = 0; k < t->columnCount(); ++k)
                        texts << (t->item(r, k) ? t->item(r, k)->text() : QString());
            else if (auto* list = qobject_cast<QListWidget*>(w))
                for (int r = 0; r < list->count(); ++r)
                    texts << list->item(r)->text();
            else if (auto* m = qobject_cast<QMenu*>(w))
                collectMenu(m, texts);
            else if (auto* browser = qobject_cast<QTextBrowser*>(w))
                texts << browser->toPlainText();
            const QString where = top->objectName() + u'/'
                                  + (w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                                               : w->objectName());
            for (const QString& t : texts)
                if (!t.isEmpty())
                    out.append({where, t});
        }
    }
    return out;
}

const QStringList& hostileAddresses(const QString& sentinelFile)
{
    static const QStringList all{
        QUrl::fromLocalFile(sentinelFile).toString(),
        QStringLiteral("data:text/html,%3Cb%3E") + kSentinel,
        QStringLiteral("javascript:alert(document.cookie)//"),
        QStringLiteral("huilan-evil://run/rm%20-rf"),
        QStringLiteral("FILE:") + sentinelFile,
        QStringLiteral("mms:") + sentinelFile,   // a stream scheme without a host
    };
    return all;
}

// The directory's scrambled address field holds `address` once unscrambled.
QString scrambled(const QString& address)
{
    QByteArray bytes = net::toGbk(address);
    if (bytes.size() >= 18)
        for (int i = 0; i < 18; ++i)
            bytes[i] = char(bytes[i] - 1);
    return net::fromGbk(bytes);
}

QString hostileText(const QString& original, Hostility kind, int& longBudget)
{
    switch (kind) {
    case Hostility::Markup:
        return original + kMarker + QStringLiteral("<b>粗</b><img src=\"file:///etc/passwd\"><a href=\"javascript:x()\">链</a>");
    case Hostility::ControlCharacters:
        return original + kMarker + QStringLiteral("\x01\x07\x08\x1b[2J\x7f\t") + QChar(0x202E) + QChar(0x200B)
               + QStringLiteral("尾");
    case Hostility::LongFields:
        if (longBudget <= 0)
            return original;
        --longBudget;
        return original + kMarker + QString(100000, u'长');
    case Hostility::Addresses:
        break;
    }
    return original;
}

QString rewritePage(const QString& page, const QRegularExpression& texts, Hostility kind, const QString& sentinelFile,
                    bool tvDirectory)
{
    if (kind == Hostility::Addresses) {
        const QStringList& bad = hostileAddresses(sentinelFile);
        int next = 0;
        QString out = page;
        if (tvDirectory) {
            static const QRegularExpression field(QStringLiteral("&1[^&]*&2"));
            QString filled;
            qsizetype from = 0;
            QRegularExpressionMatchIterator it = field.globalMatch(page);
            while (it.hasNext()) {
                const QRegularExpressionMatch m = it.next();
                filled += page.mid(from, m.capturedStart() - from) + QStringLiteral("&1")
                          + scrambled(bad[next++ % bad.size()]) + QStringLiteral("&2");
                from = m.capturedEnd();
            }
            return filled + page.mid(from);
        }
        static const QRegularExpression address(
            QStringLiteral("https?://[^\\s\"'<>|*&]+|(?<=href=[\"'])[^\"']+|(?<=src=[\"'])[^\"']+"),
            QRegularExpression::CaseInsensitiveOption);
        QString result;
        qsizetype from = 0;
        QRegularExpressionMatchIterator it = address.globalMatch(out);
        while (it.hasNext()) {
            const QRegularExpressionMatch m = it.next();
            result += out.mid(from, m.capturedStart() - from) + bad[next++ % bad.size()];
            from = m.capturedEnd();
        }
        return result + out.mid(from);
    }
    int longBudget = 2;   // two 100 000-character fields a page keep it under the body cap
    QString result;
    qsizetype from = 0;
    QRegularExpressionMatchIterator it = texts.globalMatch(page);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        result += page.mid(from, m.capturedStart() - from) + hostileText(m.captured(), kind, longBudget);
        from = m.capturedEnd();
    }
    return result + page.mid(from);
}

// Counts the warnings that tell an address was refused, then passes every message on.
struct Refusals {
    static inline int opened = 0;   // the browser opener refused an address
    static inline int played = 0;   // the TV viewer refused a channel
    static inline QtMessageHandler previous = nullptr;
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (message.contains(QLatin1String("refused to open a non-web address")))
            ++opened;
        else if (message.contains(QLatin1String("refused to play")))
            ++played;
        else if (previous)
            previous(type, context, message);
    }
};

// Triggers every item; `after` runs after each one.
void triggerAll(QMenu* menu, const std::function<void()>& after = {})
{
    for (QAction* a : menu->actions()) {
        if (a->menu()) {
            triggerAll(a->menu(), after);
        } else if (!a->isSeparator()) {
            a->trigger();
            if (after)
                after();
        }
    }
}

void fire(QObject* timer)
{
    QMetaObject::invokeMethod(timer, "timeout");
}

// Everything a user and the clock do that reads or opens remote data.
// `played` gets the player's address after every channel picked (the player may be made only
// when the first channel plays).
void drive(app::WindowSet& windows, QStringList& played)
{
    app::MainWindow& w = windows.main();
    auto tick = [&] {
        for (const char* name : {"Timer1", "Timer2", "Timer3", "Timer5", "Timer7", "Timer9", "Timer1", "Timer5"})
            if (QTimer* t = w.findChild<QTimer*>(QString::fromLatin1(name)))
                fire(t);
        QCoreApplication::processEvents();
    };
    tick();
    // Every link, list and menu of the main window.
    for (app::ClickLabel* l : w.findChildren<app::ClickLabel*>()) {
        // The settings and phone links open the settings dialog: no remote text there.
        if (l->objectName() == u"Label18" || l->objectName() == u"Label14")
            continue;
        Q_EMIT l->clicked();
        QCoreApplication::processEvents();
    }
    for (QComboBox* c : w.findChildren<QComboBox*>())
        for (int i = 0; i < c->count(); ++i)
            Q_EMIT c->activated(i);
    for (info::CellGrid* g : w.findChildren<info::CellGrid*>())
        for (int r = 1; r < g->rowCount(); ++r)
            Q_EMIT g->cellSelected(r, 0);
    // Each category of the TV column opens its menu of channels; every channel is played.
    QMenu* channels = w.findChild<QMenu*>(QStringLiteral("PopupMenu3"));
    for (tv::ColumnLabel* category : w.findChildren<tv::ColumnLabel*>()) {
        Q_EMIT category->clicked();
        if (channels) {
            triggerAll(channels, [&] {
                for (tv::PlayerPane* player : w.findChildren<tv::PlayerPane*>())
                    played << player->URL();
            });
            channels->hide();
        }
    }
    for (QMenu* m : w.findChildren<QMenu*>())
        if (m != channels)
            triggerAll(m);
    // The announcements window, opened from the main window, and its rows.
    info::AnnouncementsWindow& notices = windows.announcementsWindow();
    for (info::CellGrid* g : notices.findChildren<info::CellGrid*>())
        for (int r = 1; r < g->rowCount(); ++r)
            Q_EMIT g->cellSelected(r, 0);
    notices.close();
    // Another stock, and the ticks again; then a blog mention noticed while out of sight.
    w.setEnabled(true);
    w.findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(QStringLiteral("600036"));
    Q_EMIT w.findChild<app::ClickLabel*>(QStringLiteral("Image17"))->clicked();
    tick();
    w.hide();
    fire(w.findChild<QTimer*>(QStringLiteral("Timer5")));
    for (app::ClickLabel* l : windows.blogNotice().findChildren<app::ClickLabel*>())
        Q_EMIT l->clicked();
    QCoreApplication::processEvents();
}

} // namespace

class TestHostileText : public QObject {
    Q_OBJECT
private:
    QList<Page> m_pages;
    QRegularExpression m_texts;
    QTemporaryDir m_tmp;
    QString m_sentinelFile;
    QSet<QString> m_reached;   // controls that showed hostile text, over all rows
    int m_played = 0;          // channels the player was given, over all rows

private Q_SLOTS:
    // The plain run: which pages the program reads, and which of their texts it shows.
    void initTestCase()
    {
        Refusals::previous = qInstallMessageHandler(&Refusals::handler);
        m_sentinelFile = m_tmp.filePath(QStringLiteral("secret.html"));
        QFile secret(m_sentinelFile);
        QVERIFY(secret.open(QIODevice::WriteOnly));
        secret.write(kSentinel.toLatin1() + "<b>x</b>\r\n");
        secret.close();

        QSet<QString> captions;
        QSet<QString> shown;
        {
            AppFixture f;
            QVERIFY(f.started);
            {
                app::MainWindow unshown(*f.context, nullptr);   // fixed captions only: no page read yet
                for (const Shown& t : shownTexts())
                    captions.unite(chineseRuns(t.text));
            }
            app::WindowSet windows(*f.context);
            QVERIFY(windows.startUp());
            QStringList played;
            drive(windows, played);
            for (const Shown& t : shownTexts())
                shown.unite(chineseRuns(t.text));
            QNetworkAccessManager manager;
            QSet<QString> keys;
            for (const sandbox::LoggedRequest& r : f.box->requests()) {
                const QString key = r.query.isEmpty() ? r.path : r.path + u'?' + r.query;
                if (r.method != "GET" || keys.contains(key))
                    continue;
                keys.insert(key);
                const Page page = fetch(manager, f.box->baseUrl(), r);
                if (!page.body.isEmpty())
                    m_pages << page;
            }
        }
        shown.subtract(captions);
        QStringList runs(shown.begin(), shown.end());
        std::sort(runs.begin(), runs.end(), [](const QString& a, const QString& b) { return a.size() > b.size(); });
        for (QString& r : runs)
            r = QRegularExpression::escape(r);
        m_texts = QRegularExpression(runs.join(u'|'));
        QVERIFY(m_texts.isValid());
        QVERIFY2(m_pages.size() > 20, qPrintable(QString::number(m_pages.size())));
        qInfo("%d pages, %d shown texts", int(m_pages.size()), int(runs.size()));
    }

    // A message quoting a remote name shows it as it is.
    void messageBoxesShowTheirTextAsItIs_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("error") << "error";
        QTest::newRow("notice") << "notice";
        QTest::newRow("question") << "question";
    }
    void messageBoxesShowTheirTextAsItIs()
    {
        QFETCH(QString, kind);
        const QString text = QStringLiteral("确定要删除\"<img src=\"file:///etc/passwd\"><b>台</b>\"吗？");
        app::MessageBoxPrompter prompter;
        Qt::TextFormat format = Qt::AutoText;
        QString shown;
        QTimer::singleShot(0, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            format = box->textFormat();
            shown = box->text();
            box->done(QMessageBox::Cancel);
        });
        if (kind == u"error")
            prompter.error(text);
        else if (kind == u"notice")
            prompter.notice(text);
        else
            QVERIFY(!prompter.question(text));
        QCOMPARE(shown, text);
        QCOMPARE(format, Qt::PlainText);
    }

    void nothingIsRenderedOpenedOrPlayed_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("markup") << int(Hostility::Markup);
        QTest::newRow("control characters") << int(Hostility::ControlCharacters);
        QTest::newRow("100 000-character fields") << int(Hostility::LongFields);
        QTest::newRow("file, data, javascript and custom-scheme addresses") << int(Hostility::Addresses);
    }
    void nothingIsRenderedOpenedOrPlayed()
    {
        QFETCH(int, kind);
        const auto hostility = Hostility(kind);
        AppFixture f;
        QVERIFY(f.started);
        QStringList rewritten;
        for (const Page& p : m_pages) {
            const bool utf8 = isUtf8(p.type);
            const QString text = utf8 ? QString::fromUtf8(p.body) : net::fromGbk(p.body);
            const QString hostile = rewritePage(text, m_texts, hostility, m_sentinelFile,
                                                p.key.startsWith(QStringLiteral("/gp1gettvdata.asp")));
            if (hostile == text)
                continue;
            rewritten << p.key.section(u'?', 0, 0);
            f.box->setFixedPage(p.key, utf8 ? hostile.toUtf8() : net::toGbk(hostile), p.type);
        }
        rewritten.removeDuplicates();
        qInfo("rewritten pages: %s", qPrintable(rewritten.join(u' ')));

        Refusals::opened = Refusals::played = 0;
        {
            app::WindowSet windows(*f.context);
            windows.startUp();
            QStringList played;
            drive(windows, played);

            QStringList reached;
            for (QWidget* top : QApplication::topLevelWidgets()) {
                QList<QWidget*> widgets = top->findChildren<QWidget*>();
                widgets << top;
                for (QWidget* w : widgets) {
                    const QString where = top->objectName() + u'/' + w->objectName();
                    // A hint is shown as rich text whenever it looks like markup.
                    QVERIFY2(!w->toolTip().contains(QLatin1String("<b>")) && !w->toolTip().contains(QLatin1String("<img")),
                             qPrintable(where + QStringLiteral(" hint: ") + w->toolTip().left(200)));
                    auto* l = qobject_cast<QLabel*>(w);
                    if (!l)
                        continue;
                    QVERIFY2(l->textFormat() == Qt::PlainText || !Qt::mightBeRichText(l->text()),
                             qPrintable(where + QStringLiteral(": ") + l->text().left(200)));
                    QVERIFY2(!l->text().contains(kSentinel), qPrintable(where));
                }
            }
            for (const Shown& t : shownTexts()) {
                QVERIFY2(!t.text.contains(kSentinel), qPrintable(t.where + u' ' + t.text.left(200)));
                if (t.text.contains(kMarker))
                    reached << t.where;
            }
            // Message boxes show their text as it is; none may carry a local file's content.
            for (const RecordedBox& b : f.prompter.boxes)
                QVERIFY2(!b.text.contains(kSentinel), qPrintable(b.text.left(200)));
            // Only web addresses reach the browser.
            for (const QString& opened : f.opener.opened)
                QVERIFY2(QUrl(opened).scheme() == u"http" || QUrl(opened).scheme() == u"https", qPrintable(opened));
            // The player only ever gets a stream address.
            for (const QString& source : played)
                QVERIFY2(source.isEmpty() || tv::isStreamAddress(source), qPrintable(source));
            played.removeAll(QString());
            m_played += int(played.size());
            reached.removeDuplicates();
            reached.sort();
            qInfo("controls showing hostile text: %s", qPrintable(reached.join(u' ')));
            qInfo("browser: %d opened, %d turned down; player: %d given, %d turned down", int(f.opener.opened.size()),
                  Refusals::opened, int(played.size()), Refusals::played);
            if (hostility == Hostility::Addresses) {
                // The hostile addresses did come through: the opener and the player turned them down.
                QVERIFY(Refusals::opened > 0);
                QVERIFY(Refusals::played > 0);
            }
            m_reached.unite(QSet<QString>(reached.begin(), reached.end()));
        }
    }

    // The rewritten pages reached a control of every source: the rows above tested something.
    void everySourceShowedHostileText_data()
    {
        QTest::addColumn<QString>("control");
        QTest::newRow("quote name") << "TForm1/Label21";
        QTest::newRow("forum posts") << "TForm1/StringGrid1";
        QTest::newRow("latest forum post") << "TForm1/Label45";
        QTest::newRow("rumours") << "TForm1/Label36";
        QTest::newRow("reports") << "TForm1/Label39";
        QTest::newRow("notices") << "TForm2/StringGrid1";
        QTest::newRow("evaluation sites") << "TForm1/ComboBox1";
        QTest::newRow("blogs") << "TForm1/ComboBox2";
        QTest::newRow("news flash") << "TForm1/Label48";
        QTest::newRow("TV directory") << "TForm1/tv::ColumnLabel";
        QTest::newRow("recommendations") << "TForm16/RecommendLine1";
        QTest::newRow("companion pages") << "TForm1/WebBrowser1";
    }
    void everySourceShowedHostileText()
    {
        QFETCH(QString, control);
        QVERIFY2(m_reached.contains(control), qPrintable(QStringList(m_reached.begin(), m_reached.end()).join(u' ')));
    }

    void theViewerPlayedChannels() { QVERIFY(m_played > 0); }
};

QTEST_MAIN(TestHostileText)
#include "test_hostile_text.moc"
