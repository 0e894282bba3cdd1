#include "tv/tvwidgets.h"

#include <QAudioOutput>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QVideoWidget>

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

void PlayerPane::makePlayer()
{
    if (m_player)
        return;
    m_video = new QVideoWidget(this);
    m_video->setAspectRatioMode(m_keepAspect ? Qt::KeepAspectRatio : Qt::IgnoreAspectRatio);
    m_video->setGeometry(0, 0, width(), height() - kStatusLineHeight);
    m_video->show();
    m_player = new QMediaPlayer(this);
    m_audio = new QAudioOutput(this);
    m_player->setAudioOutput(m_audio);
    m_player->setVideoOutput(m_video);
    auto update = [this] { updateStatus(); };
    connect(m_player, &QMediaPlayer::playbackStateChanged, this, update);
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, update);
    connect(m_player, &QMediaPlayer::errorOccurred, this, update);
    connect(m_player, &QMediaPlayer::positionChanged, this, update);
}

void PlayerPane::stretchToFit()
{
    m_keepAspect = true;
    if (m_video)
        m_video->setAspectRatioMode(Qt::KeepAspectRatio);
}

void PlayerPane::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_video)
        m_video->setGeometry(0, 0, width(), height() - kStatusLineHeight);
    m_statusLine->setGeometry(0, height() - kStatusLineHeight, width(), kStatusLineHeight);
}

void PlayerPane::setURL(const QString& url)
{
    makePlayer();
    m_url = url;
    m_stopped = false;
    m_player->setSource(QUrl(url));
    m_player->play();
}

void PlayerPane::stop()
{
    m_stopped = true;
    if (m_player)
        m_player->stop();
}

void PlayerPane::updateStatus()
{
    // Once stopped on purpose, what the closing stream reports (a failed seek, an aborted read)
    // is not news.
    const QString text = m_stopped ? QStringLiteral("已停止")
                                   : playerStatusText(m_player->playbackState(), m_player->mediaStatus(),
                                                      m_player->error(), m_player->errorString(),
                                                      m_player->position() > 0);
    if (text == m_status)
        return;
    m_status = text;
    m_statusLine->setText(text);
    Q_EMIT statusChange(text);
}

} // namespace tv
