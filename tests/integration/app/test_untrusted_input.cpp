// What a user or a remote server can put into the main window by other paths than the obvious
// one: a reply that arrives after the stock changed, text pasted or committed by an input method,
// markup in a stock name, a damaged stock-code file.
#include "app/mainwindow.h"
#include "app/windowset.h"
#include "appfixture.h"
#include "net/codecs.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

using app::MainWindow;

namespace {

QByteArray quoteLine(const char* code, const QString& name, const char* price)
{
    return "var q=[\"1," + QByteArray(code) + "," + name.toUtf8() + "," + price
           + ",-2.15%,-0.74,35.11,120,35.12,88,456789,160234.5,34.50,35.86,35.50,34.40,1,35,"
             "2026-12-09 10:15:03\"]";
}

QString quoteKey(const char* code)
{
    return kQuotePath + QStringLiteral("?type=z&fav=%1&hick=zhou").arg(QLatin1String(code));
}

QLabel* label(const QWidget& w, const char* name)
{
    return w.findChild<QLabel*>(QString::fromLatin1(name));
}

} // namespace

class TestUntrustedInput : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Timer1's quote for the old stock arrives after the user switched to another one: it must
    // not bring the old code, name or prices back.
    void aQuoteOvertakenByACodeChangeIsDropped()
    {
        AppFixture f;
        QVERIFY(f.started);
        MainWindow w(*f.context, nullptr);
        w.show();
        QCOMPARE(f.context->state.CurrentCode, QStringLiteral("000001"));
        f.box->holdReplies(quoteKey("000001"), quoteLine("000001", QStringLiteral("平安银行"), "99.99"));
        whenHeld(*f.box, [&] {
            w.findChild<QLineEdit*>("Edit1")->setText(QStringLiteral("600036"));
            w.ChangeStock();
            QCOMPARE(f.box->releaseHeld(), 1);
        });
        w.Timer1Timer();   // 10:00 on a weekday: the quote panel refreshes CurrentCode
        QCOMPARE(f.context->state.CurrentCode, QStringLiteral("600036"));
        QCOMPARE(f.context->state.CurrentName, QStringLiteral("招商银行"));
        QVERIFY(label(w, "Label2")->text() != QStringLiteral("99.99"));
        w.Timer1Timer();
        QCOMPARE(f.box->requestsTo(kQuotePath).last().query, QStringLiteral("type=z&fav=600036&hick=zhou"));
    }

    // Only digits get into the code box, by keys, by a paste or by an input method.
    void theCodeBoxTakesDigitsByEveryPath()
    {
        AppFixture f;
        MainWindow w(*f.context, nullptr);
        w.show();
        auto* edit = w.findChild<QLineEdit*>("Edit1");
        edit->clear();
        QGuiApplication::clipboard()->setText(QStringLiteral("6&a=b1"));
        edit->paste();
        QCOMPARE(edit->text(), QString());
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("60０036"));
        QCoreApplication::sendEvent(edit, &commit);
        QCOMPARE(edit->text(), QString());
        QGuiApplication::clipboard()->setText(QStringLiteral("600036"));
        edit->paste();
        QCOMPARE(edit->text(), QStringLiteral("600036"));
        QTest::keyClicks(edit, QStringLiteral("7"));   // full: six digits at most
        QCOMPARE(edit->text(), QStringLiteral("600036"));
    }

    // A stock-code file holding something that is not a code is treated like a missing one,
    // and nothing of it reaches a request or the file.
    void aDamagedCodeFileIsNotUsed()
    {
        AppFixture f;
        QDir().mkpath(f.systemFile(QString()));
        QFile file(f.systemFile("gp06856.dat"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("6&a=b1\r\n");
        file.close();
        MainWindow w(*f.context, nullptr);
        w.show();
        QCOMPARE(f.context->state.CurrentCode, QStringLiteral("000001"));
        for (const auto& r : f.box->requests())
            QVERIFY2(!r.query.contains(QLatin1String("a=b")), qPrintable(r.query));
        QFile written(f.systemFile("gp06856.dat"));
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), QByteArray("000001\r\n"));
    }

    // A stock name with markup is shown as it is, never rendered; and no label of any window can
    // render markup, since any of them may show remote text.
    void remoteTextIsShownAsPlainText()
    {
        AppFixture f;
        const QString name = QStringLiteral("<b>平安</b>银行");
        f.box->setFixedPage(quoteKey("600036"), quoteLine("600036", name, "35.12"), "text/html; charset=utf-8");
        app::WindowSet windows(*f.context);
        QVERIFY(windows.startUp());
        MainWindow& w = windows.main();
        w.findChild<QLineEdit*>("Edit1")->setText(QStringLiteral("600036"));
        w.ChangeStock();
        QCOMPARE(f.context->state.CurrentName, name);
        QVERIFY(label(w, "Label21")->text().contains(name));
        QVERIFY(w.findChild<QGroupBox*>("GroupBox1")->title().contains(name));
        QList<QWidget*> tops = {&w, &windows.broadcastWindow(), &windows.flowNotice(), &windows.blogNotice()};
        for (auto kind : {alerts::AlertKind::Limit, alerts::AlertKind::LargeTrade, alerts::AlertKind::LargeOrder,
                          alerts::AlertKind::RiseFall})
            tops << &windows.alertWindow(kind);
        for (QWidget* top : tops)
            for (QLabel* l : top->findChildren<QLabel*>())
                QVERIFY2(!l->pixmap().isNull() || l->textFormat() == Qt::PlainText,
                         qPrintable(top->objectName() + u'/' + l->objectName()));
    }

    // Status-bar panel 5 is 50 pixels wide like the others are their own width.
    void statusPanelsKeepTheirWidths()
    {
        AppFixture f;
        MainWindow w(*f.context, nullptr);
        const int widths[] = {120, 225, 160, 155, 50};
        for (int i = 0; i < 5; ++i)
            QCOMPARE(w.statusPanel(i)->width(), widths[i]);
    }
};

QTEST_MAIN(TestUntrustedInput)
#include "test_untrusted_input.moc"
