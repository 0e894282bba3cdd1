// The alert settings dialog and the phone window, driven with clicks and keys against the
// sandbox and a real alert database.
#include "app/mainwindow.h"
#include "app/windowset.h"
#include "appfixture.h"
#include "net/codecs.h"
#include "net/form.h"
#include "settings/settingsdialog.h"
#include "store/alertstore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSqlQuery>
#include <QTimer>

using settings::SettingsDialog;

namespace {

template <class T>
T* child(QWidget& w, const char* name)
{
    T* c = w.findChild<T*>(QString::fromLatin1(name));
    if (!c)
        qFatal("no control %s", name);
    return c;
}

// A started main window with the settings dialog beside it, as the program wires them.
struct DialogFixture : AppFixture {
    DialogFixture() : windows(*context)
    {
        windows.startUp();
    }
    app::MainWindow& main() { return windows.main(); }
    SettingsDialog& dialog() { return windows.settingsDialog(); }

    void click(const char* name) { QTest::mouseClick(child<QWidget>(dialog(), name), Qt::LeftButton); }
    void addCode(const QString& code)
    {
        auto* edit = child<QLineEdit>(dialog(), "Edit1");
        edit->clear();
        QTest::keyClicks(edit, code);
        click("BitBtn1");
    }
    QStringList items()
    {
        QStringList out;
        auto* list = child<QListWidget>(dialog(), "ListBox1");
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }
    void openDialog() { QTest::mouseClick(child<QWidget>(main(), "Label18"), Qt::LeftButton); }

    app::WindowSet windows;
};

const QByteArray kHeldQuote =
    "var q=[\"1,600036,招商银行,35.12,-2.15%,-0.74,35.11,120,35.12,88,456789,160234.5,34.50,35.86,"
    "35.50,34.40,1,35,2026-12-09 10:15:03\"]";

} // namespace

class TestSettingsDialog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void openingStopsTheBackgroundAndShowsTheStoredNumber()
    {
        DialogFixture f;
        f.openDialog();
        QVERIFY(f.dialog().isVisible());
        QCOMPARE(f.dialog().windowTitle(), QStringLiteral("股价提示设置"));
        QCOMPARE(f.dialog().size(), QSize(688, 284));
        QVERIFY(!f.main().isEnabled());
        QVERIFY(!f.main().alertTimer()->isActive());
        QVERIFY(!f.main().blogTimer()->isActive());
        QCOMPARE(child<QLabel>(f.dialog(), "Label1")->text(), QStringLiteral("13900000000"));
        QVERIFY(!child<QCheckBox>(f.dialog(), "CheckBox7")->isEnabled());
        QVERIFY(!child<QCheckBox>(f.dialog(), "CheckBox1")->isEnabled());
        QCOMPARE(f.dialog().SettingsRow, -1);
    }

    void addingAValidCodeSelectsItWithDefaults()
    {
        DialogFixture f;
        f.openDialog();
        f.addCode("600036");
        QCOMPARE(f.prompter.texts(), QStringList{});
        QCOMPARE(f.items(), QStringList{"招商银行(600036)"});
        QCOMPARE(child<QListWidget>(f.dialog(), "ListBox1")->currentRow(), 0);
        QCOMPARE(f.dialog().SettingsRow, 0);
        QVERIFY(child<QLabel>(f.dialog(), "Label13")->text().startsWith(QStringLiteral("最新价:")));
        QVERIFY(child<QCheckBox>(f.dialog(), "CheckBox1")->isChecked());
        for (const char* box : {"CheckBox2", "CheckBox3", "CheckBox4", "CheckBox5", "CheckBox6"}) {
            QVERIFY2(!child<QCheckBox>(f.dialog(), box)->isChecked(), box);
            QVERIFY2(child<QCheckBox>(f.dialog(), box)->isEnabled(), box);
        }
        QCOMPARE((QStringList{child<QComboBox>(f.dialog(), "ComboBox1")->currentText(),
                              child<QComboBox>(f.dialog(), "ComboBox2")->currentText(),
                              child<QComboBox>(f.dialog(), "ComboBox3")->currentText(),
                              child<QComboBox>(f.dialog(), "ComboBox4")->currentText()}),
                 (QStringList{"5", "4", "4", "10"}));
        const store::AlertLists& l = f.context->alerts;
        QCOMPARE(l.AlertCodes, QStringList{"600036"});
        QCOMPARE(l.AlertFlags, QStringList{"0000"});
    }

    void refusedCodesAddNothing_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("duplicate") << "600036" << "该股票已存在，请重新输入!";
        QTest::newRow("five digits") << "60003" << "必须输入六位股票代码!";
        QTest::newRow("unknown") << "600999" << "输入的股票代码不存在，请重新输入!";
    }
    void refusedCodesAddNothing()
    {
        QFETCH(QString, code);
        QFETCH(QString, message);
        DialogFixture f;
        f.openDialog();
        f.addCode("600036");
        f.addCode(code);
        QCOMPARE(f.prompter.texts(), QStringList{message});
        QCOMPARE(f.items(), QStringList{"招商银行(600036)"});
        QCOMPARE(f.context->alerts.AlertCodes, QStringList{"600036"});
        f.addCode("000001");   // still usable
        QCOMPARE(f.items().size(), 2);
    }

    void networkErrorDuringLookupShowsOneBox()
    {
        DialogFixture f;
        f.openDialog();
        f.box->setFixedPage(kQuotePath, "down", "text/html", 500);
        f.addCode("600036");
        QCOMPARE(f.prompter.texts(), QStringList{"获取股票信息失败，请检查网络!"});
        QVERIFY(f.items().isEmpty());
        QCOMPARE(f.context->alerts.watchedCount(), 0);
    }

    void checkBoxesSetTheirFlagCharacter()
    {
        DialogFixture f;
        f.openDialog();
        f.addCode("600036");
        f.click("CheckBox4");
        QCOMPARE(f.context->alerts.AlertFlags[0], QStringLiteral("0100"));
        f.click("CheckBox4");
        f.click("CheckBox3");
        QCOMPARE(f.context->alerts.AlertFlags[0], QStringLiteral("0001"));
        f.click("CheckBox1");
        QCOMPARE(f.context->alerts.AlertSendOpenClose[0], QStringLiteral("0"));
        f.click("CheckBox6");
        QCOMPARE(f.context->alerts.AlertBroadcast[0], QStringLiteral("1"));
    }

    void dropDownsTakeNoKeys()
    {
        DialogFixture f;
        f.openDialog();
        f.addCode("600036");
        auto* box = child<QComboBox>(f.dialog(), "ComboBox1");
        QTest::keyClick(box, Qt::Key_Down);
        QTest::keyClick(box, '9');
        QCOMPARE(box->currentText(), QStringLiteral("5"));
        QCOMPARE(f.context->alerts.AlertPercent[0], QStringLiteral("5"));
    }

    void selectingAStockShowsItsSettings()
    {
        DialogFixture f;
        f.openDialog();
        f.addCode("600036");
        f.click("CheckBox2");
        f.addCode("000001");
        auto* list = child<QListWidget>(f.dialog(), "ListBox1");
        list->setCurrentRow(0);
        QCOMPARE(f.dialog().SettingsRow, 0);
        QVERIFY(child<QCheckBox>(f.dialog(), "CheckBox2")->isChecked());
        QCOMPARE(child<QLabel>(f.dialog(), "Label12")->text(), QStringLiteral("招商银行"));
        QTest::keyClick(list, Qt::Key_Down);   // keyboard selection edits the right stock too
        QCOMPARE(f.dialog().SettingsRow, 1);
        QVERIFY(!child<QCheckBox>(f.dialog(), "CheckBox2")->isChecked());
    }

    void deletingTheOnlyStockThenDeletingAgain()
    {
        DialogFixture f;
        f.openDialog();
        f.addCode("600036");
        f.click("BitBtn2");
        QVERIFY(f.items().isEmpty());
        QCOMPARE(f.dialog().SettingsRow, -1);
        QCOMPARE(f.context->alerts.watchedCount(), 0);
        QCOMPARE(f.prompter.texts(), QStringList{});
        f.click("BitBtn2");
        QCOMPARE(f.prompter.texts(), QStringList{"请选择要删除的股票"});
    }

    void savingWithoutANumberPostsOnlyTheSwitchOff()
    {
        DialogFixture f;
        f.openDialog();
        f.addCode("600036");
        f.click("CheckBox8");
        f.box->clearRequests();
        f.click("BitBtn3");
        QCOMPARE(f.prompter.texts(), QStringList{"所有记录保存成功！"});
        // The main window's own timers may fetch quotes while the save waits: only the companion
        // server's requests count here.
        QList<sandbox::LoggedRequest> log;
        for (const auto& r : f.box->requests())
            if (!r.path.startsWith(QLatin1String("/EM_Quote2007")))
                log << r;
        QCOMPARE(log.size(), 1);
        QCOMPARE(log[0].path, QStringLiteral("/gpycf.asp"));
        QCOMPARE(log[0].form, (net::Form{{"sn", "13900000000"}, {"ycf", "0"}}));
        QVERIFY(!f.dialog().isVisible());
        QVERIFY(f.main().isEnabled());
        QVERIFY(f.main().alertTimer()->isActive());
        QVERIFY(f.main().blogTimer()->isActive());
        QCOMPARE(f.main().statusPanel(1)->text(), QStringLiteral("本机监视股价：启用  手机接收股价：停止"));
        QVERIFY(f.context->alerts.LocalAlertsOn);
    }

    void registeringANumber()
    {
        DialogFixture f;
        f.openDialog();
        f.click("Label14");
        settings::PhoneWindow& phone = f.dialog().phoneWindow();
        QVERIFY(phone.isVisible());
        QCOMPARE(phone.size(), QSize(345, 146));
        QVERIFY(!f.dialog().isEnabled());
        QCOMPARE(child<QGroupBox>(phone, "GroupBox1")->title(), QStringLiteral("新添加手机号码"));
        auto* edit = child<QLineEdit>(phone, "Edit1");
        QTest::keyClicks(edit, "1391234567");   // ten digits
        QTest::mouseClick(child<QWidget>(phone, "BitBtn1"), Qt::LeftButton);
        QCOMPARE(f.prompter.texts(), QStringList{"必须输入11位手机号码!"});
        QTest::keyClicks(edit, "8a9");   // the letter is discarded, the twelfth digit does not fit
        QCOMPARE(edit->text(), QStringLiteral("13912345678"));
        f.box->setFixedPage("/gpaddsj.asp", net::toGbk("<body text=\"#000000\">该手机号码已存在</body>"));
        QTest::mouseClick(child<QWidget>(phone, "BitBtn1"), Qt::LeftButton);
        QCOMPARE(f.prompter.texts().last(), QStringLiteral("13912345678手机号码已存在"));
        QCOMPARE(f.box->requestsTo("/gpaddsj.asp")[0].form, (net::Form{{"sn", "13912345678"}}));
        QVERIFY(!phone.isVisible());

        // While a number is being registered the window cannot be closed.
        f.click("Label14");
        edit->setText(QStringLiteral("13912345678"));
        f.box->holdReplies("/gpaddsj.asp", net::toGbk("<body>ok</body>"));
        bool closed = true;
        whenHeld(*f.box, [&] {
            closed = phone.close();
            f.box->releaseHeld();
        });
        QTest::mouseClick(child<QWidget>(phone, "BitBtn1"), Qt::LeftButton);
        QVERIFY(!closed);
        QVERIFY(!phone.isVisible());
        QVERIFY(f.dialog().isEnabled());
        QCOMPARE(f.context->store.phoneNumber(), QStringLiteral("13912345678"));
        QCOMPARE(child<QLabel>(f.dialog(), "Label1")->text(), QStringLiteral("13912345678"));
        QVERIFY(child<QCheckBox>(f.dialog(), "CheckBox7")->isEnabled());
    }

    void registrationServerErrorKeepsTheWindowOpen()
    {
        DialogFixture f;
        f.openDialog();
        f.click("Label14");
        settings::PhoneWindow& phone = f.dialog().phoneWindow();
        QTest::keyClicks(child<QLineEdit>(phone, "Edit1"), "13912345678");
        f.box->setFixedPage("/gpaddsj.asp", "oops", "text/html", 500);
        QTest::mouseClick(child<QWidget>(phone, "BitBtn1"), Qt::LeftButton);
        QCOMPARE(f.prompter.texts(), QStringList{"当前服务器故障，请联系作者!"});
        QVERIFY(phone.isVisible());
        QCOMPARE(f.context->store.phoneNumber(), QString());
    }

    void fullSaveRoundTrip()
    {
        DialogFixture f;
        f.context->store.savePhoneNumber("13912345678");
        f.openDialog();
        QVERIFY(child<QCheckBox>(f.dialog(), "CheckBox7")->isEnabled());
        f.addCode("600036");
        f.click("CheckBox1");   // open/close off
        f.click("CheckBox6");   // broadcasting on
        f.click("CheckBox2");   // limit alert on
        f.addCode("000001");
        f.click("CheckBox7");
        f.click("CheckBox8");
        f.context->alerts.TradeAlertState = {"17"};   // state of an earlier load
        f.box->clearRequests();
        f.click("BitBtn3");
        QCOMPARE(f.prompter.texts(), QStringList{"所有记录保存成功！"});
        QStringList paths;
        for (const auto& r : f.box->requests())
            if (!r.path.startsWith(QStringLiteral("/EM_Quote2007/")))   // the main window's timers on a slow run
                paths << r.path;
        QCOMPARE(paths, (QStringList{"/gpycf.asp", "/gpdel1.asp", "/gpadd1.asp", "/gpdel2.asp", "/gpadd2.asp",
                                     "/gpadd2.asp", "/gpdel3.asp", "/gpadd3.asp"}));
        const sandbox::MirroredConfig server = f.box->mirroredConfig("13912345678");
        QCOMPARE(server.ycf, QStringLiteral("1"));
        QCOMPARE(server.table1, (QList<QStringList>{{"平安银行", "000001"}}));
        QCOMPARE(server.table2.size(), 2);
        QCOMPARE(server.table2[0], (QStringList{"1000", "4", "4", "5", "招商银行", "600036"}));
        QCOMPARE(server.table3, (QList<QStringList>{{"10", "600036", "招商银行"}}));
        // The database holds the same, and the lists were reloaded with every alert re-armed.
        store::AlertLists reread;
        f.context->store.sendbase(reread);
        QCOMPARE(reread.AlertCodes, (QStringList{"600036", "000001"}));
        QCOMPARE(reread.AlertSendOpenClose, (QStringList{"0", "1"}));
        QCOMPARE(f.context->alerts.AlertCodes, reread.AlertCodes);
        QCOMPARE(f.context->alerts.TradeAlertState, (QStringList{"-1", "-1"}));
        QCOMPARE(f.main().statusPanel(1)->text(), QStringLiteral("本机监视股价：启用  手机接收股价：启用"));
        // Opening again shows what was saved.
        f.openDialog();
        QCOMPARE(f.items(), (QStringList{"招商银行(600036)", "平安银行(000001)"}));
        QVERIFY(child<QCheckBox>(f.dialog(), "CheckBox7")->isChecked());
        QVERIFY(child<QCheckBox>(f.dialog(), "CheckBox8")->isChecked());
    }

    void failedSaveKeepsTheDialogAndItsEdits()
    {
        DialogFixture f;
        f.openDialog();
        f.addCode("600036");
        f.box->setFixedPage("/gpycf.asp", "down", "text/html", 503);
        f.click("BitBtn3");
        QCOMPARE(f.prompter.texts(), QStringList{"当前服务器故障，请联系作者!"});
        QVERIFY(f.dialog().isVisible());
        QVERIFY(!f.main().isEnabled());
        QVERIFY(!f.main().alertTimer()->isActive());
        QCOMPARE(f.items(), QStringList{"招商银行(600036)"});
        f.box->clearOverrides();
        f.click("BitBtn3");   // and a second try goes through
        QCOMPARE(f.prompter.texts().last(), QStringLiteral("所有记录保存成功！"));
        QVERIFY(!f.dialog().isVisible());
    }

    void leavingWithoutSavingAsksAndThenRestores()
    {
        DialogFixture f;
        f.openDialog();
        f.addCode("600036");
        f.prompter.answers = {false, true};
        f.click("BitBtn4");
        QCOMPARE(f.prompter.boxes.last().text, QStringLiteral(" 确实不要保存所作的修改吗？"));
        QCOMPARE(f.prompter.boxes.last().caption, QStringLiteral("提示"));
        QVERIFY(f.dialog().isVisible());
        f.click("BitBtn4");
        QVERIFY(!f.dialog().isVisible());
        QVERIFY(f.main().isEnabled());
        QVERIFY(f.main().alertTimer()->isActive());
        QVERIFY(f.main().blogTimer()->isActive());
        // The unsaved stock is gone: the lists are what the database holds.
        QCOMPARE(f.context->alerts.watchedCount(), 0);
        QVERIFY(f.context->alerts.LimitAlerted.isEmpty());
    }

    // Leaving without saving restores the settings but not the alert state: a stock that has
    // already announced its limit today does not announce it again, and cooldowns keep running.
    void leavingWithoutSavingKeepsTheAlertState()
    {
        DialogFixture f;
        f.openDialog();
        f.addCode("600036");
        f.click("BitBtn3");
        store::AlertLists& lists = f.context->alerts;
        QCOMPARE(lists.watchedCount(), 1);
        lists.LimitAlerted[0] = QStringLiteral("1");
        lists.TradeAlertState[0] = QStringLiteral("42");
        f.openDialog();
        f.addCode("000651");
        f.click("BitBtn4");
        QVERIFY(!f.dialog().isVisible());
        QCOMPARE(lists.AlertCodes, QStringList{"600036"});
        QCOMPARE(lists.LimitAlerted, QStringList{"1"});
        // The cooldown clock kept counting while the dialog was open; it was not re-armed.
        QCOMPARE(lists.TradeAlertState.size(), 1);
        QVERIFY(lists.TradeAlertState[0].toInt() >= 42);
    }

    // A stock removed and the dialog opened once more before leaving without saving: the edit stays
    // until the user leaves, the cooldown clock meanwhile leaves each state with its stock, and a
    // tick switched on again under a tick that still waits does not run inside it.
    void statesStayWithTheirStocksAndTicksDoNotNest()
    {
        DialogFixture f;
        f.openDialog();
        f.addCode("600036");
        f.addCode("000651");
        f.click("CheckBox8");
        f.click("BitBtn3");
        store::AlertLists& lists = f.context->alerts;
        lists.LimitAlerted = {"0", "1"};
        f.openDialog();
        child<QListWidget>(f.dialog(), "ListBox1")->setCurrentRow(0);
        f.click("BitBtn2");
        f.main().alerts().Timer6Timer();
        f.dialog().open();
        QCOMPARE(f.items().size(), 1);
        f.click("BitBtn4");
        QCOMPARE(lists.AlertCodes, (QStringList{"600036", "000651"}));
        QCOMPARE(lists.LimitAlerted, (QStringList{"0", "1"}));

        f.box->clearRequests();
        f.box->holdReplies(kQuotePath + "?type=z&fav=600036&hick=zhou", kHeldQuote);
        whenHeld(*f.box, [&] {
            f.main().alerts().Timer4Timer();
            f.box->releaseHeld();
        });
        f.main().alerts().Timer4Timer();
        for (const QString code : {"600036", "000651"}) {
            int asked = 0;
            for (const auto& request : f.box->requestsTo(kQuotePath))
                asked += request.query.contains(code) ? 1 : 0;
            QCOMPARE(asked, 1);
        }
    }

    // An alert tick that waited on the network when the dialog opened must not switch the tick
    // back on under the open dialog.
    void aTickWaitingWhenTheDialogOpensLeavesTheTimerOff()
    {
        DialogFixture f;
        f.openDialog();
        f.addCode("600036");
        f.click("CheckBox8");   // alerts on this computer: the tick quotes the watched stock
        f.click("BitBtn3");
        QTimer* tick = f.main().alertTimer();
        f.box->holdReplies(kQuotePath + "?type=z&fav=600036&hick=zhou", kHeldQuote);
        bool openedDuringTheWait = false;
        whenHeld(*f.box, [&] {
            f.openDialog();
            openedDuringTheWait = f.dialog().isVisible();
            f.box->releaseHeld();
        });
        f.main().alerts().Timer4Timer();
        QVERIFY(openedDuringTheWait);
        QVERIFY(f.dialog().isVisible());
        QVERIFY(!tick->isActive());
        f.click("BitBtn4");
        QVERIFY(tick->isActive());
    }

    // While a lookup or a save waits on the network the dialog takes no input: a second click,
    // leaving, closing, removing or adding does nothing, and the wait ends with the dialog as before.
    void nothingRunsWhileARequestWaits()
    {
        DialogFixture f;
        f.openDialog();
        f.box->holdReplies(kQuotePath + "?type=z&fav=600036&hick=zhou", kHeldQuote);
        whenHeld(*f.box, [&] {
            QVERIFY(!f.dialog().isEnabled());
            for (const char* button : {"BitBtn1", "BitBtn2", "BitBtn3", "BitBtn4"})
                f.click(button);
            f.dialog().close();
            f.dialog().removeSelected();
            QVERIFY(!f.dialog().leaveWithoutSaving());
            f.box->releaseHeld();
        });
        f.addCode("600036");
        QVERIFY(f.dialog().isVisible());
        QVERIFY(f.dialog().isEnabled());
        QCOMPARE(f.prompter.texts(), QStringList{});   // not even the question of leaving
        QCOMPARE(f.items().size(), 1);
        QCOMPARE(f.context->alerts.watchedCount(), 1);

        f.box->clearRequests();
        f.box->holdReplies("/gpycf.asp", "<body text=\"#000000\">ok</body>");
        whenHeld(*f.box, [&] {
            f.click("BitBtn3");
            f.addCode("000001");
            f.dialog().addStock();
            f.box->releaseHeld();
        });
        f.click("BitBtn3");
        QCOMPARE(f.requestCount("/gpycf.asp"), 1);
        for (const auto& request : f.box->requestsTo(kQuotePath))
            QVERIFY(!request.query.contains(QStringLiteral("000001")));
        QCOMPARE(f.prompter.texts(), QStringList{QStringLiteral("所有记录保存成功！")});
        QVERIFY(!f.dialog().isVisible());
        QCOMPARE(f.context->alerts.watchedCount(), 1);
    }

    void authorLinksOpenThroughTheOpener()
    {
        DialogFixture f;
        f.openDialog();
        f.click("Label10");
        QCOMPARE(f.opener.opened, QStringList{settings::chatAddress(f.context->settings)});
        QVERIFY(f.opener.opened[0].endsWith("/msgrd?V=1&Uin=" + f.context->settings.Contact));
    }
};

QTEST_MAIN(TestSettingsDialog)
#include "test_settingsdialog.moc"
