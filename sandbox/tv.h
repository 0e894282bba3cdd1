// The companion server's TV channel directory ("/gp1gettvdata.asp") and the streams it points
// at, which the sandbox makes itself: a steady tone (WAV), a moving test picture (motion JPEG)
// and a stream that never starts.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

class QTcpSocket;

namespace sandbox::tv {

inline const QString kDirectoryPath = QStringLiteral("/gp1gettvdata.asp");
inline const QString kTonePath = QStringLiteral("/tv/tone.wav");
inline const QString kPicturePath = QStringLiteral("/tv/testcard.mjpg");
// Accepted and never answered: the player keeps connecting.
inline const QString kNeverPath = QStringLiteral("/tv/never.asf");

// Each of the first 18 bytes one less, as the server stores its addresses.
QString scramble(const QString& address);

// The directory's payload: three categories, groups with and without their own address,
// channels under them, a name used twice and a channel filed under another category's group.
QString directoryPayload(const QString& baseUrl);

// The WAV header of a mono 16-bit tone of `seconds` at `rate` samples a second.
QByteArray waveHeader(int rate, int seconds);
// `samples` samples of a 440 Hz sine starting at sample `from`.
QByteArray toneSamples(qint64 from, int samples, int rate);
// Frame `n` of the moving test picture (320 x 240): colour bars, a sweeping bar, a bouncing ball.
QImage testPicture(int n);

// Streams one of the two made streams on `socket` (already past the request), paced in real
// time, for at most an hour or until the client goes away. Returns false for another path.
bool startStream(const QString& path, QTcpSocket* socket);

} // namespace sandbox::tv
