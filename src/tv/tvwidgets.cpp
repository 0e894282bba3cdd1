#include "tv/tvwidgets.h"

#include "tv/mediabackend.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

namespace tv {

ColumnLabel::ColumnLabel(const QString& text, QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);   // category names come from the server
    setText(text);
    setAutoFillBackground(true);
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    setAlignment(Qt::AlignCenter);
    QFont f = font();
    f.setPointSize(10);
    setFont(f);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);
    setBackground(Qt::white);
}

void ColumnLabel::setBackground(const QColor& colour)
{
    QPalette p = palette();
    p.setColor(QPalette::Window, colour);
    setPalette(p);
}

QColor ColumnLabel::background() const
{
    return palette().color(QPalette::Window);
}

void ColumnLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}

void ColumnLabel::mouseMoveEvent(QMouseEvent* event)
{
    QLabel::mouseMoveEvent(event);
    Q_EMIT moved();
}

void ColumnLabel::enterEvent(QEnterEvent* event)
{
    QLabel::enterEvent(event);
    Q_EMIT entered();
}

void ColumnLabel::leaveEvent(QEvent* event)
{
    QLabel::leaveEvent(event);
    Q_EMIT left();
}

namespace {

// A studio backdrop: deep blue fading to teal, a soft light from the upper left and a row of
// screen outlines near the bottom.
QPixmap backdrop(const QSize& size)
{
    QPixmap pixmap(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, size.width() * 0.4, size.height());
    sky.setColorAt(0, QColor(10, 30, 90));
    sky.setColorAt(0.6, QColor(16, 70, 130));
    sky.setColorAt(1, QColor(10, 110, 120));
    p.fillRect(pixmap.rect(), sky);
    QRadialGradient light(size.width() * 0.2, size.height() * 0.15, size.width() * 0.6);
    light.setColorAt(0, QColor(255, 255, 255, 70));
    light.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(pixmap.rect(), light);
    p.setPen(QPen(QColor(180, 220, 255, 90), 2));
    p.setBrush(QColor(255, 255, 255, 18));
    const int w = 54, h = 36, y = size.height() - 110;
    for (int i = 0; i < 5; ++i)
        p.drawRoundedRect(QRectF(14 + i * (w + 6), y, w, h), 4, 4);
    return pixmap;
}

} // namespace

BackgroundPicture::BackgroundPicture(QWidget* parent) : QLabel(parent)
{
    setMouseTracking(true);
}

void BackgroundPicture::setPicture(const QSize& size)
{
    setPixmap(backdrop(size));
    setGeometry(0, 0, size.width(), size.height());
}

void BackgroundPicture::mouseMoveEvent(QMouseEvent* event)
{
    QLabel::mouseMoveEvent(event);
    Q_EMIT moved();
}

QString playerStatusText(QMediaPlayer::PlaybackState state, QMediaPlayer::MediaStatus media,
                         QMediaPlayer::Error error, const QString& errorString, bool started)
{
    if (error != QMediaPlayer::NoError)
        return QStringLiteral("播放出错：") + errorString;
    if (state == QMediaPlayer::StoppedState)
        return media == QMediaPlayer::LoadingMedia ? QStringLiteral("正在连接…") : QStringLiteral("已停止");
    if (state == QMediaPlayer::PausedState)
        return QStringLiteral("已暂停");
    switch (media) {
    case QMediaPlayer::BufferingMedia:
        // Enough is buffered to go on: once the picture or sound runs, it plays.
        return started ? QStringLiteral("正在播放") : QStringLiteral("正在缓冲…");
    case QMediaPlayer::StalledMedia:
        return QStringLiteral("正在缓冲…");
    case QMediaPlayer::BufferedMedia:
        return QStringLiteral("正在播放");
    case QMediaPlayer::EndOfMedia:
        return QStringLiteral("已停止");
    case QMediaPlayer::InvalidMedia:
        return QStringLiteral("播放出错：无法识别的节目");
    case QMediaPlayer::NoMedia:
    case QMediaPlayer::LoadingMedia:
    case QMediaPlayer::LoadedMedia:
        break;
    }
    return QStringLiteral("正在连接…");
}

namespace {
constexpr int kStatusLineHeight = 20;
}

PlayerPane::PlayerPane(QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::black);
    p.setColor(QPalette::WindowText, QColor(200, 230, 255));
    setPalette(p);
    m_statusLine = new QLabel(this);
    m_statusLine->setObjectName(QStringLiteral("PlayerStatus"));
    m_statusLine->setTextFormat(Qt::PlainText);   // error texts may quote the stream
    m_statusLine->setIndent(4);
}

PlayerPane::~PlayerPane()
{
    // The player goes with the children, after this pane's own members: nothing it reports on its
    // way out may reach the half-destroyed pane.
    if (m_media)
        m_media->player()->disconnect();
}

QObject* PlayerPane::player() const
{
    return m_media ? m_media->player() : nullptr;
}

void PlayerPane::makePlayer()
{
    if (m_media || !m_loadError.isEmpty())
        return;
    m_media.reset(loadMediaBackend(this, [this] { updateStatus(); }, &m_loadError));
    if (!m_media)
        return;
    QWidget* picture = m_media->picture();
    m_media->setKeepAspect(m_keepAspect);
    picture->setGeometry(0, 0, width(), height() - kStatusLineHeight);
    picture->show();
}

void PlayerPane::stretchToFit()
{
    m_keepAspect = true;
    if (m_media)
        m_media->setKeepAspect(true);
}

void PlayerPane::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_media)
        m_media->picture()->setGeometry(0, 0, width(), height() - kStatusLineHeight);
    m_statusLine->setGeometry(0, height() - kStatusLineHeight, width(), kStatusLineHeight);
}

void PlayerPane::setURL(const QString& url)
{
    makePlayer();
    m_url = url;
    m_stopped = false;
    if (m_media)
        m_media->play(QUrl(url));
    else
        updateStatus();   // says why nothing plays
}

void PlayerPane::stop()
{
    m_stopped = true;
    if (m_media)
        m_media->stop();
    else if (!m_loadError.isEmpty())
        updateStatus();   // no player to report the stop: the error line gives way at once
}

void PlayerPane::updateStatus()
{
    // Once stopped on purpose, what the closing stream reports (a failed seek, an aborted read)
    // is not news.
    QString text = QStringLiteral("已停止");
    if (!m_stopped && !m_media) {
        text = QStringLiteral("播放出错：") + m_loadError;
    } else if (!m_stopped) {
        const MediaState s = m_media->state();
        text = playerStatusText(QMediaPlayer::PlaybackState(s.playback), QMediaPlayer::MediaStatus(s.media),
                                QMediaPlayer::Error(s.error), s.errorString, s.started);
    }
    if (text == m_status)
        return;
    m_status = text;
    m_statusLine->setText(text);
    Q_EMIT statusChange(text);
}

} // namespace tv
