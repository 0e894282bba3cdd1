// The huilan-player module: the TV viewer's media player on Qt Multimedia. Only this file links
// the multimedia libraries; the program loads it at the first channel played.
#include "tv/mediabackend.h"

#include <QAudioOutput>
#include <QMediaPlayer>
#include <QUrl>
#include <QVideoWidget>

namespace {

class QtMediaBackend final : public tv::MediaBackend {
public:
    QtMediaBackend(QWidget* parent, std::function<void()> changed)
        : m_video(new QVideoWidget(parent)), m_player(new QMediaPlayer(parent)),
          m_audio(new QAudioOutput(parent))
    {
        m_player->setAudioOutput(m_audio);
        m_player->setVideoOutput(m_video);
        QObject::connect(m_player, &QMediaPlayer::playbackStateChanged, m_player, changed);
        QObject::connect(m_player, &QMediaPlayer::mediaStatusChanged, m_player, changed);
        QObject::connect(m_player, &QMediaPlayer::errorOccurred, m_player, changed);
        QObject::connect(m_player, &QMediaPlayer::positionChanged, m_player, changed);
    }

    // The player, its output and its picture belong to the parent widget, which deletes them.
    QWidget* picture() override { return m_video; }
    QObject* player() override { return m_player; }

    void play(const QUrl& source) override
    {
        m_player->setSource(source);
        m_player->play();
    }

    void stop() override { m_player->stop(); }

    void setKeepAspect(bool keep) override
    {
        m_video->setAspectRatioMode(keep ? Qt::KeepAspectRatio : Qt::IgnoreAspectRatio);
    }

    tv::MediaState state() const override
    {
        return {m_player->playbackState(), m_player->mediaStatus(), m_player->error(),
                m_player->errorString(), m_player->position() > 0};
    }

private:
    QVideoWidget* m_video;
    QMediaPlayer* m_player;
    QAudioOutput* m_audio;
};

} // namespace

extern "C" Q_DECL_EXPORT tv::MediaBackend* huilan_make_media_backend(QWidget* parent,
                                                                     std::function<void()> changed)
{
    return new QtMediaBackend(parent, std::move(changed));
}
