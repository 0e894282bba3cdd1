// The media player behind the TV viewer's picture. It lives in a module of its own
// (huilan-player), which the viewer loads when the first channel plays: the multimedia libraries
// it links (Qt Multimedia and the sound libraries under it, two dozen in all) then stay out of
// the program's start-up and memory until someone watches.
#pragma once

#include <QString>
#include <functional>

class QObject;
class QUrl;
class QWidget;

namespace tv {

// The player's state, as QMediaPlayer's PlaybackState, MediaStatus and Error values.
struct MediaState {
    int playback = 0;
    int media = 0;
    int error = 0;
    QString errorString;
    bool started = false;   // the position has moved: picture or sound has come out
};

class MediaBackend {
public:
    virtual ~MediaBackend() = default;
    // The picture, a child of the parent given at creation.
    virtual QWidget* picture() = 0;
    // The QMediaPlayer itself, for whoever links Qt Multimedia (the tests).
    virtual QObject* player() = 0;
    virtual void play(const QUrl& source) = 0;
    virtual void stop() = 0;
    // true: the picture keeps its proportions inside the pane; false: it fills the pane.
    virtual void setKeepAspect(bool keep) = 0;
    virtual MediaState state() const = 0;
};

// The module's one exported function: makes the player, its sound output and its picture under
// `parent`; `changed` runs whenever the state may have changed.
using MakeMediaBackend = MediaBackend* (*)(QWidget* parent, std::function<void()> changed);
inline constexpr const char* kMakeMediaBackend = "huilan_make_media_backend";

// Loads the module (next to the program, in the installed library folder, or in the build
// tree) and makes a player; null with the reason in `error` when the module cannot be loaded.
MediaBackend* loadMediaBackend(QWidget* parent, std::function<void()> changed, QString* error);

} // namespace tv
