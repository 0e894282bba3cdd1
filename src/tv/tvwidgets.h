// The TV viewer's own controls: the channel column's labels, the start screen's background
// picture, and the player (video, sound and a status line).
#pragma once

#include <QLabel>
#include <QMediaPlayer>   // its enumerations only: the player itself is in the huilan-player module
#include <QWidget>
#include <memory>

namespace tv {

class MediaBackend;

// A label of the channel column: reports clicks, the mouse entering, leaving and moving over it.
class ColumnLabel : public QLabel {
    Q_OBJECT
public:
    ColumnLabel(const QString& text, QWidget* parent);
    void setBackground(const QColor& colour);
    QColor background() const;

Q_SIGNALS:
    void clicked();
    void entered();
    void left();
    void moved();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
};

// The start screen's background picture (drawn at run time; it carries no text).
class BackgroundPicture : public QLabel {
    Q_OBJECT
public:
    explicit BackgroundPicture(QWidget* parent);
    // Draws the picture at `size` and takes that size.
    void setPicture(const QSize& size);

Q_SIGNALS:
    void moved();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
};

// What the player reports, in the words the viewer's rules look for: "正在连接…" while it opens
// the stream, "正在缓冲…" while it fills its buffer, "正在播放" while it plays, exactly "已停止"
// when it stops, "播放出错：" and the reason when the stream fails. `started`: the position has
// moved, so picture or sound has come out.
QString playerStatusText(QMediaPlayer::PlaybackState state, QMediaPlayer::MediaStatus media,
                         QMediaPlayer::Error error, const QString& errorString, bool started);

// The media player: video scaled to fit, sound on the default output, and a status line under
// the picture. Its context menu is the player menu the owner sets.
class PlayerPane : public QWidget {
    Q_OBJECT
public:
    explicit PlayerPane(QWidget* parent);
    ~PlayerPane() override;

    // Starts playing `url` (the player's URL property).
    void setURL(const QString& url);
    QString URL() const { return m_url; }
    // The player's current status text.
    QString status() const { return m_status; }
    // controls.stop
    void stop();
    // stretchToFit: the picture is scaled up or down to the player's size, keeping its
    // proportions.
    void stretchToFit();
    // The QMediaPlayer, made at the first setURL; null until then, and when the player module
    // could not be loaded.
    QObject* player() const;

Q_SIGNALS:
    // The status text changed.
    void statusChange(const QString& status);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateStatus();
    void makePlayer();

    // The player, its sound output and its picture are made when the first channel plays: the
    // multimedia framework they load (its libraries and plug-ins, a sound-server connection,
    // threads) costs several megabytes and part of the start-up, and most sessions never play.
    std::unique_ptr<MediaBackend> m_media;
    QString m_loadError;   // why the player module could not be loaded; empty when it was
    bool m_keepAspect = false;
    QLabel* m_statusLine;
    QString m_url;
    QString m_status;
    bool m_stopped = false;   // stop() was called and no URL set since
};

} // namespace tv
