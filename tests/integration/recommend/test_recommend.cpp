// The recommendation window against the sandbox's board: reading it, posting to it, the limit of
// two posts a day, and the checks before a post.
#include "appfixture.h"
#include "market.h"
#include "net/codecs.h"
#include "net/httpclient.h"
#include "recommend/recommendwindow.h"
#include "core/guard.h"
#include "widgets/webpane.h"
#include "widgets/widgets.h"

#include <QCheckBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>

using recommend::RecommendController;

namespace {

QByteArray boardPage(int records, const QString& reasonPrefix = QStringLiteral("理由"))
{
    QString page = QStringLiteral("<html><body text=\"#000000\">");
    for (int i = 0; i < records; ++i)
        page += QStringLiteral("$a010.0.%1.*$a1股票%1(6000%2)$a2%3$a32026-12-9 9:%2:00$a4<br>")
                    .arg(i)
                    .arg(i + 10)
                    .arg(reasonPrefix + QString::number(i));
    return net::toGbk(page + QStringLiteral("</body></html>"));
}

// Every change of a window's enabled state, in order.
struct EnabledLog : QObject {
    explicit EnabledLog(QWidget& window) { window.installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::EnabledChange)
            changes.append(static_cast<QWidget*>(watched)->isEnabled());
        return false;
    }
    QList<bool> changes;
};

struct RecommendFixture : AppFixture {
    RecommendFixture()
        : mainLog(mainWindow),
          controller(context->state, context->settings, prompter, opener,
                     {&mainWindow, [this](bool on) { promptItem.append(on); }})
    {
        code = box->market().codes().first();
        name = box->market().nameOf(code);
    }
    recommend::RecommendWindow& window() { return controller.window(); }
    void typeCode(const QString& c)
    {
        window().codeEdit->clear();
        QTest::keyClicks(window().codeEdit, c);
    }
    void post(const QString& c, const QString& reason)
    {
        typeCode(c);
        window().reasonEdit->setText(reason);
        QTest::mouseClick(window().postButton, Qt::LeftButton);
    }
    bool tryOpen()   // the tray item, as the main window runs it
    {
        return app::guarded(prompter, [this] { controller.N14Click(); });
    }

    QWidget mainWindow;
    EnabledLog mainLog;
    RecommendController controller;
    QList<bool>& mainEnabled = mainLog.changes;   // what the window did to the main window, in order
    QList<bool> promptItem;    // the check marks it gave the tray item
    QString code, name;
};

} // namespace

class TestRecommend : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void elevenRecommendationsShowTenLines()
    {
        RecommendFixture f;
        f.box->setFixedPage(QStringLiteral("/gpjgshow.asp"), boardPage(11));
        f.controller.addlabel();
        QCOMPARE(f.controller.list().size(), 11);
        QCOMPARE(f.window().visibleLineCount(), 10);
        const recommend::RecommendLine* first = f.window().lines[0];
        QCOMPARE(first->text(), QStringLiteral("    10.0.0.*   股票0(600010)   理由0"));
        QVERIFY(first->toolTip().contains(QStringLiteral("理由0【推荐时间：2026-12-9 9:10:00】")));
        QCOMPARE(first->geometry(), QRect(1, 120, 464, 20));
        QCOMPARE(f.window().lines[9]->geometry().top(), 300);
    }

    void hostileFieldsStayPlainText()
    {
        RecommendFixture f;
        const QString reason = QStringLiteral("<img src=x><b>看涨</b>") + QString(1000, u'长');
        f.box->setFixedPage(QStringLiteral("/gpjgshow.asp"), boardPage(1, reason));
        f.controller.addlabel();
        const recommend::RecommendLine* line = f.window().lines[0];
        QCOMPARE(line->textFormat(), Qt::PlainText);
        QVERIFY(line->text().contains(QStringLiteral("<img src=x>")));
        QCOMPARE(line->width(), 464);   // cut to fit: the line keeps its size
        QVERIFY(line->toolTip().contains(QStringLiteral("&lt;img src=x&gt;")));   // escaped in the hint
        QVERIFY(line->toolTip().contains(QString(1000, u'长')));
    }

    void trayItemOpensTheWindowAndPostAppearsOnTheBoard()
    {
        RecommendFixture f;
        QVERIFY(f.tryOpen());
        QVERIFY(f.controller.windowVisible());
        QCOMPARE(f.mainEnabled, QList<bool>{false});
        QTRY_VERIFY(f.requestCount(QStringLiteral("/gpcgad.html")) >= 1);

        f.post(f.code, QStringLiteral(" 主力吸筹明显 "));
        QCOMPARE(f.window().nameLabel->text(), f.name);
        QCOMPARE(f.prompter.texts(), QStringList{QStringLiteral("本次您的荐股操作成功，感谢您的参与！")});
        QVERIFY(!f.controller.windowVisible());
        QCOMPARE(f.mainEnabled, (QList<bool>{false, true}));
        QCOMPARE(f.window().visibleLineCount(), 0);   // closing frees the lines
        const auto posts = f.box->requestsTo(QStringLiteral("/gpjg.asp"));
        QCOMPARE(posts.size(), 1);
        QCOMPARE(posts[0].form, (QList<QPair<QString, QString>>{{"gpdm", f.code},
                                                                   {"gpmc", f.name},
                                                                   {"tjly", QStringLiteral(" 主力吸筹明显 ")}}));
        QCOMPARE(f.controller.client().readTimeout(), 30000);

        f.controller.addlabel();   // the new post comes in at the top
        QVERIFY(f.context->state.NewRecommendations);
        QCOMPARE(f.controller.list().RecommendReasons.first(), QStringLiteral(" 主力吸筹明显 "));
        QCOMPARE(f.controller.list().RecommendStocks.first(), f.name + "(" + f.code + ")");
        QCOMPARE(f.controller.list().RecommendAddresses.first(), QStringLiteral("127.0.0.*"));
    }

    void thirdPostOfTheDayIsRefused()
    {
        RecommendFixture f;
        for (int i = 0; i < 3; ++i) {
            QVERIFY(f.tryOpen());
            f.post(f.code, QStringLiteral("第%1次").arg(i + 1));
        }
        QCOMPARE(f.prompter.texts(), (QStringList{QStringLiteral("本次您的荐股操作成功，感谢您的参与！"),
                                                  QStringLiteral("本次您的荐股操作成功，感谢您的参与！"),
                                                  QStringLiteral("今日您荐股的次数超过2次，提交失败!")}));
        QVERIFY(!f.controller.windowVisible());
        f.controller.addlabel();
        QVERIFY(!f.controller.list().RecommendReasons.contains(QStringLiteral("第3次")));
    }

    void replyWithBothWordsShowsBothMessages()
    {
        RecommendFixture f;
        f.box->setFixedPage(QStringLiteral("/gpjg.asp"), net::toGbk(QStringLiteral("超过……成功")));
        QVERIFY(f.tryOpen());
        f.post(f.code, QStringLiteral("理由"));
        QCOMPARE(f.prompter.texts(), (QStringList{QStringLiteral("今日您荐股的次数超过2次，提交失败!"),
                                                  QStringLiteral("本次您的荐股操作成功，感谢您的参与！")}));
        QCOMPARE(f.mainEnabled, (QList<bool>{false, true}));   // closed once
    }

    void checksBeforeAPost_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QString>("focus");
        const QString unknown = QStringLiteral("输入的股票代码不存在，请重新输入!");
        QTest::newRow("five digits") << "60000" << "理由" << QStringList{"必须输入六位股票代码!"} << "Edit1";
        QTest::newRow("blank reason") << "" << "   " << QStringList{"必须输入荐股理由!"} << "Edit2";
        QTest::newRow("unknown code")
            << "999999" << "理由" << QStringList{unknown, "必须输入正确的股票代码!"} << "Edit1";
    }
    void checksBeforeAPost()
    {
        QFETCH(QString, code);
        QFETCH(QString, reason);
        QFETCH(QStringList, boxes);
        QFETCH(QString, focus);
        RecommendFixture f;
        QVERIFY(f.tryOpen());
        f.post(code.isEmpty() ? f.code : code, reason);
        QCOMPARE(f.prompter.texts(), boxes);
        if (code == u"999999")
            QVERIFY(f.window().nameLabel->text().isEmpty());
        QCOMPARE(f.requestCount(QStringLiteral("/gpjg.asp")), 0);
        QVERIFY(f.controller.windowVisible());
        QVERIFY(f.window().focusWidget());
        QCOMPARE(f.window().focusWidget()->objectName(), focus);
    }

    // The reason box takes 30 Chinese characters or 60 letters, as its caption says; typing stops
    // there and a paste that would not fit is refused.
    void reasonStopsAtSixtyGbkBytes()
    {
        RecommendFixture f;
        QVERIFY(f.tryOpen());
        QLineEdit* edit = f.window().reasonEdit;
        const auto type = [edit](const QString& text) {
            for (QChar c : text)
                edit->insert(QString(c));   // as typing does: each key inserts and validates
        };
        type(QString(31, u'长'));
        QCOMPARE(edit->text(), QString(30, u'长'));
        edit->clear();
        type(QString(59, u'a') + QStringLiteral("长b"));
        QCOMPARE(edit->text(), QString(59, u'a') + u'b');
        edit->clear();
        edit->insert(QString(20, u'长'));
        edit->insert(QString(11, u'长'));
        QCOMPARE(edit->text(), QString(20, u'长'));
    }

    void refusedOrFailedPostKeepsTheWindowOpenWithItsInput()
    {
        RecommendFixture f;
        QVERIFY(f.tryOpen());
        // The sandbox refuses a reason longer than the form allows with neither word.
        f.window().reasonEdit->setMaxLength(100);
        f.post(f.code, QString(61, u'长'));
        QVERIFY(f.prompter.texts().isEmpty());
        QVERIFY(f.controller.windowVisible());
        QCOMPARE(f.window().reasonEdit->text(), QString(61, u'长'));

        f.box->setFixedPage(QStringLiteral("/gpjg.asp"), "down", "text/html", 500);
        QTest::mouseClick(f.window().postButton, Qt::LeftButton);
        QCOMPARE(f.prompter.texts(), QStringList{QStringLiteral("网络故障，请稍后再试")});
        QVERIFY(f.controller.windowVisible());
        QVERIFY(f.window().postButton->isEnabled());
    }

    void nameFromAnEarlierCodeDoesNotPassTheCheck()
    {
        RecommendFixture f;
        QVERIFY(f.tryOpen());
        f.typeCode(f.code);
        QCOMPARE(f.window().nameLabel->text(), f.name);
        const QString other = f.box->market().codes().last();
        f.box->setFixedPage(kQuotePath, "down", "text/html", 500);
        f.post(other, QStringLiteral("理由"));
        QCOMPARE(f.window().nameLabel->text(), f.name);   // kept, as the lookup failed
        QCOMPARE(f.prompter.texts(), (QStringList{QStringLiteral("获取股票信息失败，请检查网络!"),
                                                  QStringLiteral("必须输入正确的股票代码!")}));
        QCOMPARE(f.requestCount(QStringLiteral("/gpjg.asp")), 0);
    }

    void codeBoxTakesDigitsByEveryPath()
    {
        RecommendFixture f;
        QTest::keyClicks(f.window().codeEdit, QStringLiteral("6a0-0 0"));
        QCOMPARE(f.window().codeEdit->text(), QStringLiteral("6000"));
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("1x"));
        QCoreApplication::sendEvent(f.window().codeEdit, &commit);
        QCOMPARE(f.window().codeEdit->text(), QStringLiteral("6000"));
    }

    void boardThatCannotBeReadDoesNotOpenTheWindow()
    {
        RecommendFixture f;
        f.box->setFixedPage(QStringLiteral("/gpjgshow.asp"), "down", "text/html", 500);
        QVERIFY(!f.tryOpen());
        QVERIFY(!f.controller.windowVisible());
        QVERIFY(f.prompter.texts().isEmpty());
        QVERIFY(f.mainEnabled.isEmpty());
    }

    void promptOffMergesSilentlyAndTheNextOpeningShowsTheNewLines()
    {
        RecommendFixture f;
        f.context->state.RecommendPromptOff = true;
        f.controller.addlabel();
        const int before = int(f.controller.list().size());
        QVERIFY(f.controller.list().size() > 0);
        f.box->setFixedPage(QStringLiteral("/gpjgshow.asp"), boardPage(2, QStringLiteral("新")));
        f.controller.addlabel();
        QVERIFY(f.context->state.NewRecommendations);
        QVERIFY(!f.controller.windowVisible());
        QVERIFY(f.tryOpen());
        QCOMPARE(f.controller.list().size(), before + 2);
        QCOMPARE(f.window().lines[0]->text(), QStringLiteral("    10.0.1.*   股票1(600011)   新1"));
        QVERIFY(f.window().lines[0]->isVisible());
    }

    void allRecommendationsLinkOpensTheBoardPage()
    {
        RecommendFixture f;
        QTest::mouseClick(f.window().allLink, Qt::LeftButton);
        QCOMPARE(f.opener.opened, QStringList{f.box->baseUrl() + "/jg.asp"});
    }
};

QTEST_MAIN(TestRecommend)
#include "test_recommend.moc"
