// The stock news panels: the commentary line (GroupBox2: Label9, Label10), and in the group box of
// dynamic stock information (GroupBox6) the latest rumour (Label36), the latest research report
// (Label39) and the announcement line (Label15 with its marker Image3), with the reads that fill
// them and the all-announcements window behind the announcement line.
#pragma once

#include "core/appstate.h"
#include "core/clock.h"
#include "core/settings.h"
#include "info/announcements.h"

#include <QObject>

#include <functional>
#include <QPointer>

class QGroupBox;
class QLabel;

namespace net {
class HttpClient;
class UrlOpener;
}
namespace app { class ClickLabel; }

namespace info {

class AnnouncementsWindow;

class StockNewsController : public QObject {
    Q_OBJECT
public:
    StockNewsController(app::AppState& state, const app::Settings& settings, app::Clock& clock,
                        net::UrlOpener& opener, net::HttpClient& IdHTTP2, QObject* parent = nullptr);
    ~StockNewsController() override;

    // GroupBox2 with the commentary labels.
    QGroupBox* commentaryBox() const { return GroupBox2; }
    // GroupBox6 with the four headings and the rumour, report and announcement lines.
    QGroupBox* newsBox() const { return GroupBox6; }
    // The fourth line, the latest investor comment, is the forum's: its line, its "new" marker and
    // the time it was found go into GroupBox6 here.
    void placeInvestorLine(QWidget* line, QWidget* marker, QWidget* foundAt);

    // The all-announcements window the announcement line opens, asked for at the first click
    // (the window is made only when someone opens it).
    void setAnnouncementsWindow(std::function<AnnouncementsWindow*()> window);
    const AnnouncementLists& announcements() const { return m_lists; }

    // Read the company page of `code`: the latest rumour and research report. Aborts silently on
    // failure.
    void getyg(const QString& code);
    // Empty the three announcement lists.
    void clearAnnouncements() { m_lists.clear(); }
    // Read the commentary of `code`. On failure the labels say so and the call aborts silently.
    void getqgqp(const QString& code);
    // Read the notice list of `code` into the announcement lists and say whether one is dated
    // today. Aborts silently on failure, also when a date of the list is not a date.
    void getgg(const QString& code);
    // A new day began: the announcement line says again whether the list holds one of today.
    void newDay();

    void Label15Click();   // the all-announcements window
    void Label36Click();   // the rumour page
    void Label39Click();   // the report page

    QString rumourLink() const { return m_rumourLink; }
    QString reportLink() const { return m_reportLink; }

private:
    void openLink(const QString& link);
    // Label15 and Image3 from the announcement lists and today's date; false when a date of the
    // list is not a date (the line is left as it was).
    bool showAnnouncementLine();

    app::AppState& m_state;
    const app::Settings& m_settings;
    app::Clock& m_clock;
    net::UrlOpener& m_opener;
    net::HttpClient& IdHTTP2;
    AnnouncementLists m_lists;
    QString m_rumourLink;
    QString m_reportLink;
    std::function<AnnouncementsWindow*()> TForm2;
    QPointer<QGroupBox> m_ownedBox2, m_ownedBox6;

    QGroupBox* GroupBox2;
    QLabel* Label9;
    QLabel* Label10;
    QGroupBox* GroupBox6;
    app::ClickLabel* Label36;
    app::ClickLabel* Label39;
    app::ClickLabel* Label15;
    QLabel* Image3;
};

} // namespace info
