#include "tv/tvcontroller.h"

#include "core/guard.h"
#include "net/codecs.h"
#include "net/httpclient.h"
#include "tv/tvwidgets.h"
#include "widgets/webpane.h"
#include "widgets/widgets.h"

#include <QAbstractScrollArea>
#include <QCursor>
#include <QDir>
#include <QEvent>
#include <QFrame>
#include <QMenu>
#include <QPainter>
#include <QToolButton>

namespace tv {

namespace {

constexpr int kPanelWidth = 400;
constexpr int kPanelHeight = 366;
constexpr int kPlayerWidth = 363;
constexpr int kPlayerHeight = 328;
constexpr int kColumnFromRight = 80;   // the column's left edge, from the panel's right edge
constexpr int kWaitingLeftOffset = 18; // the shown waiting page's left edge, from Image24's
constexpr int kParkedLeft = -1000;
// Marks the widgets whose mouse moves clear the channel column's highlight.
constexpr char kClearsHighlight[] = "clearsTvHighlight";

const QColor kLime(0, 255, 0);
constexpr QStringView kRecentCaption = u"最近观看";
constexpr QStringView kFavouritesCaption = u"收 藏 夹";
constexpr QStringView kDeleteAll = u"删除全部";
constexpr QStringView kPlayingPrefix = u"正在播放:";

// A menu caption shown literally: Qt would read "&" as an accelerator mark.
QString literalCaption(const QString& text)
{
    QString out = text;
    out.replace(u'&', QStringLiteral("&&"));
    return out;
}

// Empties a menu. The items (and sub-menus) go later, not at once: the menu may be emptied by the
// handler of one of its own items.
void dropItems(QMenu* menu)
{
    for (QAction* action : menu->actions()) {
        menu->removeAction(action);
        if (QMenu* sub = action->menu(); sub && sub->parent() == menu)
            sub->deleteLater();
        if (action->parent() == menu)
            action->deleteLater();
    }
}

// The picture of the player-menu button: a dark rounded key with a play mark and menu lines.
QPixmap menuButtonPicture(const QSize& size)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0, QColor(90, 110, 150));
    g.setColorAt(1, QColor(30, 40, 70));
    p.setBrush(g);
    p.setPen(QColor(20, 20, 40));
    p.drawRoundedRect(QRectF(0.5, 0.5, size.width() - 1, size.height() - 1), 5, 5);
    p.setBrush(QColor(120, 230, 120));
    p.setPen(Qt::NoPen);
    const qreal h = size.height();
    p.drawPolygon(QPolygonF({QPointF(10, h * 0.25), QPointF(10, h * 0.75), QPointF(20, h * 0.5)}));
    p.setPen(QPen(QColor(230, 235, 255), 2));
    for (int i = 0; i < 3; ++i) {
        const qreal y = h * 0.3 + i * h * 0.2;
        p.drawLine(QPointF(30, y), QPointF(size.width() - 10, y));
    }
    return pixmap;
}

} // namespace

TvController::TvController(app::AppState& state, app::Prompter& prompter, net::UrlOpener& opener,
                           net::HttpClient& http, std::function<void(const QString&)> showTvState,
                           QObject* parent)
    : QObject(parent), m_state(state), m_prompter(prompter), m_opener(opener), m_http(http),
      m_showTvState(std::move(showTvState))
{
    buildPanel();
    buildPlayerMenu();
}

TvController::~TvController()
{
    // The panel belongs to whichever window parented it; an unplaced one goes with us.
    if (Panel7 && !Panel7->parent())
        delete Panel7;
}

template <class Body>
void TvController::handle(Body&& body)
{
    app::guarded(m_prompter, std::forward<Body>(body));
}

void TvController::buildPanel()
{
    Panel7 = new QFrame;
    Panel7->setObjectName(QStringLiteral("Panel7"));
    Panel7->resize(kPanelWidth, kPanelHeight);

    Image24 = new BackgroundPicture(Panel7);
    Image24->setPicture(Panel7->size());
    Image24->setObjectName(QStringLiteral("Image24"));
    connect(Image24, &BackgroundPicture::moved, this, &TvController::Image24MouseMove);

    auto title = [this](const char* name, const QString& text, const QRect& geometry, int pixels,
                        const QColor& colour, bool bold) {
        QLabel* l = app::placedLabel(Panel7, name, text, geometry);
        QFont f = l->font();
        f.setPixelSize(pixels);
        f.setBold(bold);
        l->setFont(f);
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, colour);
        l->setPalette(p);
        return l;
    };
    title("Label22", QStringLiteral("汇澜股票情报系统"), {24, 56, 290, 34}, 24, QColor(255, 255, 255), true);
    title("Label30", QStringLiteral("影视看台"), {24, 98, 290, 46}, 36, QColor(255, 220, 60), true);
    Label33 = title("Label33", QString(), {26, 150, 290, 20}, 14, QColor(220, 235, 255), false);
    title("Label12", QStringLiteral("操作方法：播放开始后，右键单击控制版面，返回选单画面"), {8, 304, 312, 18}, 12,
          QColor(255, 255, 255), false);
    title("Label13", QStringLiteral("          播放开始后，右键单击播放画面，获得全屏画面"), {8, 324, 312, 18}, 12,
          QColor(255, 255, 255), false);

    WindowsMediaPlayer1 = new PlayerPane(Panel7);
    WindowsMediaPlayer1->setObjectName(QStringLiteral("WindowsMediaPlayer1"));
    WindowsMediaPlayer1->setGeometry(0, 0, kPlayerWidth, kPlayerHeight);
    WindowsMediaPlayer1->hide();
    connect(WindowsMediaPlayer1, &PlayerPane::statusChange, this,
            [this](const QString& status) { handle([&] { WindowsMediaPlayer1StatusChange(status); }); });

    WebBrowser5 = new app::WebPane(QStringLiteral("WebBrowser5"), m_opener, Panel7);
    WebBrowser5->setGeometry(kParkedLeft, 0, 361, 263);

    Panel6 = new QFrame(Panel7);
    Panel6->setObjectName(QStringLiteral("Panel6"));
    Panel6->setFrameShape(QFrame::StyledPanel);
    Panel6->setAutoFillBackground(true);
    QPalette strip = Panel6->palette();
    strip.setColor(QPalette::Window, QColor(24, 32, 56));
    Panel6->setPalette(strip);
    Panel6->setGeometry(0, kPlayerHeight, kPanelWidth, kPanelHeight - kPlayerHeight);
    auto* button = new QToolButton(Panel6);
    button->setObjectName(QStringLiteral("Image14"));
    button->setAutoRaise(true);
    button->setIcon(QIcon(menuButtonPicture({84, 22})));
    button->setIconSize({84, 22});
    button->setToolTip(QStringLiteral("播放菜单"));
    button->setAccessibleName(QStringLiteral("播放菜单"));
    button->setCursor(Qt::PointingHandCursor);
    button->setGeometry(Panel6->width() - 84 - 6, Panel6->height() - 22 - 6, 84, 22);
    connect(button, &QToolButton::clicked, this, [this] { handle([&] { Image14Click(); }); });
    Image14 = button;
    Panel6->hide();

    PopupMenu3 = new QMenu(Panel7);
    PopupMenu3->setObjectName(QStringLiteral("PopupMenu3"));
    Panel7->installEventFilter(this);
}

void TvController::clearHighlightOnMouseMove(QWidget* widget)
{
    if (!widget)
        return;
    // A chart view takes the mouse in its viewport.
    QWidget* target = widget;
    if (auto* area = qobject_cast<QAbstractScrollArea*>(widget))
        target = area->viewport();
    target->setMouseTracking(true);
    target->setProperty(kClearsHighlight, true);
    target->installEventFilter(this);
}

bool TvController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Panel7 && event->type() == QEvent::Resize)
        layoutPanel();
    if (event->type() == QEvent::MouseMove && watched->property(kClearsHighlight).toBool())
        Image24MouseMove();
    return QObject::eventFilter(watched, event);
}

void TvController::layoutPanel()
{
    const QSize size = Panel7->size();
    if (Image24->size() != size)
        Image24->setPicture(size);
    Panel6->setGeometry(0, kPlayerHeight, size.width(), size.height() - kPlayerHeight);
    Image14->move(Panel6->width() - Image14->width() - 6, Panel6->height() - Image14->height() - 6);
}

void TvController::buildPlayerMenu()
{
    PopupMenu2 = new QMenu(Panel7);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    QAction* n8 = PopupMenu2->addAction(QStringLiteral("当前节目添加到收藏夹"));
    n8->setObjectName(QStringLiteral("N8"));
    connect(n8, &QAction::triggered, this, [this] { handle([&] { N8Click(); }); });
    N9 = PopupMenu2->addMenu(QStringLiteral("删除收藏夹节目"));
    N9->setObjectName(QStringLiteral("N9"));
    PopupMenu2->addSeparator();
    QAction* n11 = PopupMenu2->addAction(QStringLiteral("删除最近观看内容"));
    n11->setObjectName(QStringLiteral("N11"));
    connect(n11, &QAction::triggered, this, [this] { handle([&] { N11Click(); }); });
    PopupMenu2->addSeparator();
    QAction* n3 = PopupMenu2->addAction(QStringLiteral("返回到选台画面"));
    n3->setObjectName(QStringLiteral("N3"));
    connect(n3, &QAction::triggered, this, [this] { handle([&] { N3Click(); }); });

    // The player's context menu is the player menu.
    WindowsMediaPlayer1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(WindowsMediaPlayer1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu2->popup(WindowsMediaPlayer1->mapToGlobal(at)); });
}

QAction* TvController::menuItem(QMenu* menu, const QString& caption,
                                std::function<void(const QString&)> handler)
{
    auto* action = new QAction(literalCaption(caption), menu);
    connect(action, &QAction::triggered, this,
            [this, caption, handler = std::move(handler)] { handle([&] { handler(caption); }); });
    return action;
}

// ---- lists and their files ----

void TvController::loadLists()
{
    const QDir dir(m_state.SystemDir);
    const ListFileRead recent = readTvListFile(dir.filePath(kRecentFile));
    m_recentWritable = recent.state != ListFileRead::Unreadable;
    if (recent.state == ListFileRead::Unreadable)
        m_prompter.error(QStringLiteral("无法读取最近观看的电视台文件 %1：%2").arg(kRecentFile, recent.error));
    if (recent.state == ListFileRead::Loaded) {
        m_lists.recent = recent.entries;
        m_lists.playCounter = int(recent.entries.size());
    }

    const ListFileRead favourites = readTvListFile(dir.filePath(kFavouritesFile));
    m_favouritesWritable = favourites.state != ListFileRead::Unreadable;
    if (favourites.state == ListFileRead::Unreadable)
        m_prompter.error(QStringLiteral("无法读取收藏的电视台文件 %1：%2").arg(kFavouritesFile, favourites.error));
    if (favourites.state == ListFileRead::Loaded) {
        for (const Programme& e : favourites.entries) {
            m_lists.favourites.append(e);
            insertDeleteItem(int(m_lists.favourites.size()) - 1, e.name);
        }
        addDeleteAllItems();
    }
}

void TvController::writeLists()
{
    const QDir dir(m_state.SystemDir);
    auto write = [&](bool writable, const QString& file, const QList<Programme>& entries) {
        if (!writable)
            return;   // we never read it: the user's file stays as it is
        QString error;
        if (!writeTvListFile(dir.filePath(file), entries, &error))
            m_prompter.error(QStringLiteral("无法保存文件 %1：%2").arg(file, error));
    };
    write(m_recentWritable, kRecentFile, m_lists.recent);
    write(m_favouritesWritable, kFavouritesFile, m_lists.favourites);
}

void TvController::insertDeleteItem(int index, const QString& name)
{
    QAction* item = menuItem(N9, name, [this](const QString& c) { nclick3(c); });
    const QList<QAction*> items = N9->actions();
    N9->insertAction(index < items.size() ? items[index] : nullptr, item);
}

void TvController::addDeleteAllItems()
{
    N9->addSeparator();
    N9->addAction(menuItem(N9, kDeleteAll.toString(), [this](const QString& c) { nclick3(c); }));
}

// ---- start screen and column ----

void TvController::preparePlayer()
{
    WindowsMediaPlayer1->stretchToFit();
    WindowsMediaPlayer1->resize(kPlayerWidth, kPlayerHeight);
}

void TvController::showToday(const QString& dateText)
{
    Label33->setText(QStringLiteral("(今天是") + dateText + QStringLiteral(")"));
}

void TvController::addtv()
{
    QByteArray body;
    try {
        body = m_http.get(m_state.ServerBase + QStringLiteral("/gp1gettvdata.asp"));
    } catch (const net::HttpFailure&) {
        throw SilentAbort{};
    }
    m_directory = parseTvDirectory(net::fromGbk(body));

    QStringList captions;
    for (const Category& c : std::as_const(m_directory.categories))
        captions.append(c.name);
    captions << kRecentCaption.toString() << kFavouritesCaption.toString();
    int top = 20;
    for (const QString& caption : std::as_const(captions)) {
        auto* label = new ColumnLabel(caption, Panel7);
        label->setGeometry(Panel7->width() - kColumnFromRight, top, 60, 20);
        connect(label, &ColumnLabel::clicked, this, [this, label] { handle([&] { mset(label); }); });
        connect(label, &ColumnLabel::entered, this, [this, label] { msin(label); });
        connect(label, &ColumnLabel::left, this, [this, label] { msout(label); });
        connect(label, &ColumnLabel::moved, this, [this, label] { msmove(label); });
        label->show();
        m_column.append(label);
        top += 20;
    }
    // The player and the waiting page, when shown, cover the column.
    WindowsMediaPlayer1->raise();
    WebBrowser5->raise();
    Panel6->raise();
}

void TvController::msin(ColumnLabel* label)
{
    label->setBackground(kLime);
}

void TvController::msout(ColumnLabel* label)
{
    label->setBackground(Qt::white);
}

void TvController::msmove(ColumnLabel* label)
{
    label->setBackground(kLime);
}

void TvController::Image24MouseMove()
{
    if (m_directory.categories.isEmpty())
        return;
    for (ColumnLabel* label : std::as_const(m_column))
        label->setBackground(Qt::white);
}

void TvController::mset(ColumnLabel* label)
{
    label->setBackground(kLime);
    dropItems(PopupMenu3);
    const QString caption = label->text();
    const auto popup = [&] {
        // Just right of the label, at the mouse's height.
        const int x = label->mapToGlobal(QPoint(label->width(), 0)).x();
        PopupMenu3->popup(QPoint(x, QCursor::pos().y()));
    };
    auto listMenu = [&](const QList<Programme>& list, void (TvController::*pick)(const QString&)) {
        for (const Programme& e : list)
            PopupMenu3->addAction(menuItem(PopupMenu3, e.name, [this, pick](const QString& c) { (this->*pick)(c); }));
        popup();
    };
    if (caption == kRecentCaption && !m_lists.recent.isEmpty())
        return listMenu(m_lists.recent, &TvController::nclick1);
    if (caption == kFavouritesCaption && !m_lists.favourites.isEmpty())
        return listMenu(m_lists.favourites, &TvController::nclick2);

    for (const MenuGroup& group : m_directory.categoryMenu(caption)) {
        QAction* item = menuItem(PopupMenu3, group.name, [this](const QString& c) { nclick(c); });
        PopupMenu3->addAction(item);
        if (group.channels.isEmpty())
            continue;
        auto* sub = new QMenu(PopupMenu3);
        for (const QString& channel : group.channels)
            sub->addAction(menuItem(sub, channel, [this](const QString& c) { nclick(c); }));
        item->setMenu(sub);
    }
    popup();
}

// ---- playing ----

void TvController::play(const Programme& programme)
{
    m_nowPlaying = programme;
    // A new programme starts from a stopped player, so the stop it reports belongs to the old one.
    WindowsMediaPlayer1->stop();
    showWaitingPage();
    WindowsMediaPlayer1->show();
    Panel6->show();
    WindowsMediaPlayer1->setURL(programme.address);
    m_showTvState(kPlayingPrefix.toString() + programme.name);
}

void TvController::nclick(const QString& caption)
{
    const std::optional<Programme> found = m_directory.findPlayable(caption);
    if (!found)
        return;
    if (!isStreamAddress(found->address)) {
        qWarning("TV: refused to play \"%s\": not a stream address", qPrintable(found->address));
        return;
    }
    m_lists.recordPlay(*found);
    play(*found);
}

void TvController::nclick1(const QString& caption)
{
    if (const std::optional<Programme> e = TvLists::find(m_lists.recent, caption); e && isStreamAddress(e->address))
        play(*e);
}

void TvController::nclick2(const QString& caption)
{
    if (const std::optional<Programme> e = TvLists::find(m_lists.favourites, caption); e && isStreamAddress(e->address))
        play(*e);
}

void TvController::showWaitingPage()
{
    WebBrowser5->move(Image24->x() + kWaitingLeftOffset, WebBrowser5->y());
    WebBrowser5->raise();
}

void TvController::parkWaitingPage()
{
    WebBrowser5->move(kParkedLeft, WebBrowser5->y());
}

bool TvController::waitingPageParked() const
{
    return WebBrowser5->x() == kParkedLeft;
}

void TvController::WindowsMediaPlayer1StatusChange(const QString& status)
{
    if ((status.contains(QStringLiteral("正在连接")) || status.contains(QStringLiteral("缓冲")))
        && waitingPageParked())
        showWaitingPage();
    if (status.contains(QStringLiteral("正在播放")))
        parkWaitingPage();
    if (status == QStringLiteral("已停止")) {
        parkWaitingPage();
        m_showTvState(QString());
        WindowsMediaPlayer1->hide();
        Panel6->hide();
    }
}

void TvController::stopPlayback()
{
    WindowsMediaPlayer1->stop();
}

void TvController::stopForTray()
{
    stopPlayback();
    Panel6->hide();
    m_showTvState(QString());
}

void TvController::stopForClose()
{
    stopPlayback();
    Panel6->hide();
}

void TvController::N3Click()
{
    WindowsMediaPlayer1->stop();
    WindowsMediaPlayer1->hide();
    Panel6->hide();
    parkWaitingPage();
    m_showTvState(QString());
}

void TvController::Image14Click()
{
    PopupMenu2->popup(QCursor::pos());
}

// ---- favourites and recently watched ----

void TvController::N8Click()
{
    if (m_lists.hasFavourite(m_nowPlaying.name)) {
        m_prompter.notice(m_nowPlaying.name + QStringLiteral("已存在,无须再收藏!"));
        return;
    }
    m_lists.favourites.append(m_nowPlaying);
    insertDeleteItem(int(m_lists.favourites.size()) - 1, m_nowPlaying.name);
}

void TvController::N11Click()
{
    if (!m_prompter.question(QStringLiteral("确定要删除最近访问过的电视台吗？")))
        return;
    m_lists.clearRecent();
    m_prompter.notice(QStringLiteral("最近访问过的电视台删除成功!"));
}

void TvController::nclick3(const QString& caption)
{
    if (caption == kDeleteAll) {
        if (!m_prompter.question(QStringLiteral("注意:确定要删除全部收藏的电视台地址吗？")))
            return;
        m_lists.favourites.clear();
        dropItems(N9);
        addDeleteAllItems();
        m_prompter.notice(QStringLiteral("注意:收藏的电视台地址已被全部删除!"));
        return;
    }
    for (qsizetype i = 0; i < m_lists.favourites.size(); ++i) {
        const QString name = m_lists.favourites[i].name;
        if (name != caption)
            continue;
        if (!m_prompter.question(QStringLiteral("确定要删除\"") + name + QStringLiteral("\"吗？")))
            continue;
        const QList<QAction*> items = N9->actions();
        if (i < items.size()) {
            N9->removeAction(items[i]);
            items[i]->deleteLater();
        }
        m_lists.favourites.removeAt(i);
        m_prompter.notice(QStringLiteral("注意:\"") + name + QStringLiteral("\"删除成功!"));
        return;
    }
}

} // namespace tv
