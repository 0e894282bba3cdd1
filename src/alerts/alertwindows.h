// The seven alert pop-ups: the price broadcast grid, the four alert windows filled by the alert
// tick, and the big-order flow and blog-mention notices with their pause boxes. All are created
// once, hidden, stay on top, and closing one only hides it.
#pragma once

#include "alerts/alertengine.h"   // alerts::Icon and alerts::AlertKind

#include <QList>
#include <QStringList>
#include <QWidget>

class QCheckBox;
class QCloseEvent;
class QLabel;
class QTableWidget;

namespace net { class UrlOpener; }
namespace app { class ClickLabel; }

namespace alerts {

// Whether the flow notice and the blog-mention notice are paused; both clear at start-up and kept
// for the run only. Owned by the application, shared by reference with the two notice windows.
struct NoticePauses {
    bool flow = false;
    bool blog = false;
};

// Common frame of the pop-ups: fixed-size dialog frame with caption and close box, on top of
// other windows, hidden at creation. Closing hides the window and never ends the program.
class PopupWindow : public QWidget {
    Q_OBJECT
public:
    // Where placeAndShow() puts the window on the primary screen.
    enum class Corner { BottomRight, TopRight, RightMiddle };

    // Moves the window to its corner (measured with its frame) and shows it on top.
    void placeAndShow();
    // Only the move, without showing.
    void place();

protected:
    PopupWindow(const char* name, const QString& caption, Corner corner, QWidget* parent);

private:
    Corner m_corner;
};

// TForm5: the opening, midday and closing price broadcast.
class BroadcastWindow : public PopupWindow {
    Q_OBJECT
public:
    explicit BroadcastWindow(QWidget* parent = nullptr);

    // Height of the window and of its grid with no stock rows (heading row and one empty row).
    int baseHeight() const { return m_baseHeight; }
    int baseGridHeight() const { return m_baseGridHeight; }

    // Shows `title` in the title panel and one grid row per entry of `rows` under the headings,
    // numbered from 1, with one empty row left at the bottom; the window grows 16 px per stock
    // row; then places and shows it. A row holds name and code, the column-2 value, change
    // percent and volume; a row of five texts starts with its number, which the grid's own
    // numbering replaces.
    void showBroadcast(const QString& title, const QString& heading, const QList<QStringList>& rows);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void setStockRows(int count);
    void setCell(int row, int column, const QString& text);

    QLabel* m_title = nullptr;
    QTableWidget* m_grid = nullptr;
    int m_baseHeight = 0;
    int m_baseGridHeight = 0;
};

// TForm6 to TForm9: one alert, a blue first line beside a picture and a coloured quote line.
class AlertWindow : public PopupWindow {
    Q_OBJECT
public:
    // Limit TForm6 "股价提示" and RiseFall TForm9 "涨跌情况" have the up and down pictures;
    // LargeTrade TForm7 "大单成交" and LargeOrder TForm8 "大单出现" one fixed picture.
    using Kind = AlertKind;

    explicit AlertWindow(Kind kind, QWidget* parent = nullptr);

    Kind kind() const { return m_kind; }
    // True for the limit and rise/fall windows, which switch between the up and down pictures.
    bool hasDirectionIcons() const { return m_kind == Kind::Limit || m_kind == Kind::RiseFall; }

    // Line 1 into Label1, line 2 into Label2 in red (green when `falling`); the windows with
    // direction pictures show the up or down one for `icon` (None leaves them as they are).
    // Then places and shows the window.
    void showAlert(const QString& line1, const QString& line2, bool falling, Icon icon);

private:
    Kind m_kind;
    QLabel* m_line1 = nullptr;
    QLabel* m_line2 = nullptr;
    QLabel* m_up = nullptr;     // Image1 (the only picture of TForm7 and TForm8)
    QLabel* m_down = nullptr;   // Image2, only in TForm6 and TForm9
};

// TForm10: the hourly big-order flow notice, shown at the top right.
class FlowNoticeWindow : public PopupWindow {
    Q_OBJECT
public:
    explicit FlowNoticeWindow(NoticePauses& pauses, QWidget* parent = nullptr);

    void setStock(const QString& text);                          // Label2
    void setMessage(const QString& text, const QColor& colour);  // Label1, the hour's flow
    void setTotals(const QString& text, const QColor& colour);   // Label3, the day's totals
    // Shows the inflow picture (Image1) or the outflow picture (Image2).
    void setInflow(bool inflow);

    bool paused() const { return m_pauses.flow; }
    // The tray item resumes the notices: clears the pause and unticks the box, without
    // reporting it back through pauseChanged().
    void resumeFromTray();

Q_SIGNALS:
    // The user ticked (true) or unticked (false) 暂停提示; the tray item follows with the
    // opposite check state.
    void pauseChanged(bool paused);

private:
    NoticePauses& m_pauses;
    QLabel* m_stock = nullptr;
    QLabel* m_message = nullptr;
    QLabel* m_totals = nullptr;
    QLabel* m_inflow = nullptr;
    QLabel* m_outflow = nullptr;
    QCheckBox* m_pauseBox = nullptr;
};

// TForm11: a blog mentions the current stock; its link line opens the blog page.
class BlogNoticeWindow : public PopupWindow {
    Q_OBJECT
public:
    BlogNoticeWindow(NoticePauses& pauses, net::UrlOpener& opener, QWidget* parent = nullptr);

    // The notice line (Label1), and the address and blog-directory index its link opens.
    void setNotice(const QString& text, const QString& link, int blogIndex);
    // The text of the link line (Label2).
    void setLinkText(const QString& text);

    bool paused() const { return m_pauses.blog; }
    // The tray item resumes the notices: clears the pause and unticks the box, without
    // reporting it back through pauseChanged().
    void resumeFromTray();

    // The link line's click: opens the stored address in the browser, reports the blog as
    // seen and hides the window. With no address, or one the browser opener refuses (anything
    // but http and https), nothing happens and the window stays.
    void Label2Click();

Q_SIGNALS:
    void pauseChanged(bool paused);
    // The user opened this blog directory entry's mention; its seen flag becomes "1".
    void blogSeen(int blogIndex);

private:
    NoticePauses& m_pauses;
    net::UrlOpener& m_opener;
    QString m_link;
    int m_blogIndex = -1;
    QLabel* m_notice = nullptr;
    app::ClickLabel* m_linkLabel = nullptr;
    QCheckBox* m_pauseBox = nullptr;
};

} // namespace alerts
