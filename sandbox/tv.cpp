#include "tv.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QPainter>
#include <QTcpSocket>
#include <QTimer>
#include <QtEndian>

#include <cmath>

namespace sandbox::tv {

namespace {

constexpr int kToneRate = 22050;
constexpr int kMaxSeconds = 3600;       // a stream ends after an hour
constexpr int kTickMs = 200;            // pacing step
constexpr int kLeadMs = 1000;           // sent ahead so the player can fill its buffer
constexpr int kPictureLeadMs = 4000;
constexpr int kFramesPerSecond = 10;
// The player waits until about 2 MB of a stream without timestamps have arrived before it shows
// the first picture; frames padded to 200 KB (2 MB/s) and four seconds sent ahead fill it at once.
constexpr qsizetype kFrameBytes = 200 * 1024;
constexpr qint64 kMaxQueuedBytes = 4 * 1024 * 1024;   // a client that stops reading is not fed
constexpr char kBoundary[] = "huilanframe";

struct Entry {
    const char* name;
    const char* path;   // empty: no address of its own
    const char* category;
    const char* group;
    const char* leaf;
};

// name, address path, category id, group id, leaf flag
const Entry kEntries[] = {
    {"财经频道", "", "0", "1", "0"},
    {"地方财经", "", "0", "2", "0"},
    {"测试信号", "", "0", "3", "0"},
    {"央视财经", "/tv/tone.wav?ch=cctv2", "1", "11", "0"},
    {"第一财经", "", "1", "12", "0"},
    {"第一财经直播", "/tv/testcard.mjpg?ch=dycj", "1", "12", "1"},
    {"第一财经(备用)", "/tv/never.asf?ch=dycj2", "1", "12", "1"},
    {"沪&深快讯", "/tv/tone.wav?ch=hsk", "1", "12", "1"},
    {"东方财经", "/tv/testcard.mjpg?ch=dfcj", "1", "13", "0"},
    {"华东台", "", "2", "21", "0"},
    {"上海财经", "/tv/tone.wav?ch=sh", "2", "21", "1"},
    {"江苏财经", "/tv/never.asf?ch=js", "2", "21", "1"},
    {"华南台", "", "2", "22", "0"},
    {"深圳财经", "/tv/testcard.mjpg?ch=sz", "2", "22", "1"},
    {"上海财经", "/tv/testcard.mjpg?ch=sh2", "2", "22", "1"},   // a name used twice
    {"跨类频道", "/tv/tone.wav?ch=x", "2", "12", "1"},          // group 12 is in another category
    {"测试音", "/tv/tone.wav?ch=tone", "3", "31", "0"},
    {"测试图", "/tv/testcard.mjpg?ch=bars", "3", "32", "0"},
    {"无信号", "/tv/never.asf?ch=none", "3", "33", "0"},
};

// Pads a JPEG image to at least `size` bytes with comment segments right after its start marker;
// decoders skip them.
QByteArray padJpeg(const QByteArray& jpeg, qsizetype size)
{
    QByteArray padding;
    qsizetype missing = size - jpeg.size();
    while (missing > 4) {
        const int data = int(qMin<qsizetype>(missing - 4, 65533));
        padding += "\xFF\xFE";
        padding += char((data + 2) >> 8);
        padding += char((data + 2) & 0xFF);
        padding += QByteArray(data, ' ');
        missing -= data + 4;
    }
    return jpeg.left(2) + padding + jpeg.mid(2);
}

// Writes one made stream to a socket, a step at a time, until the hour is up or the client leaves.
class Stream : public QObject {
public:
    Stream(QTcpSocket* socket, bool picture) : QObject(socket), m_socket(socket), m_picture(picture)
    {
        QByteArray head = "HTTP/1.1 200 OK\r\nConnection: close\r\nCache-Control: no-cache\r\n";
        if (picture) {
            head += QByteArray("Content-Type: multipart/x-mixed-replace; boundary=") + kBoundary + "\r\n\r\n";
        } else {
            const QByteArray header = waveHeader(kToneRate, kMaxSeconds);
            head += "Content-Type: audio/x-wav\r\nContent-Length: "
                    + QByteArray::number(header.size() + qint64(kToneRate) * 2 * kMaxSeconds) + "\r\n\r\n"
                    + header;
        }
        m_socket->write(head);
        m_clock.start();
        connect(&m_timer, &QTimer::timeout, this, &Stream::step);
        connect(m_socket, &QTcpSocket::disconnected, &m_timer, &QTimer::stop);
        m_timer.start(kTickMs);
        step();
    }

private:
    void step()
    {
        const qint64 due = qMin<qint64>(m_clock.elapsed() + (m_picture ? kPictureLeadMs : kLeadMs),
                                        qint64(kMaxSeconds) * 1000);
        if (m_socket->state() != QAbstractSocket::ConnectedState)
            return m_timer.stop();
        if (m_socket->bytesToWrite() > kMaxQueuedBytes)
            return;
        if (m_picture) {
            while (m_sent * 1000 / kFramesPerSecond < due)
                writeFrame(int(m_sent++));
        } else {
            const qint64 target = due * kToneRate / 1000;
            if (target > m_sent) {
                m_socket->write(toneSamples(m_sent, int(target - m_sent), kToneRate));
                m_sent = target;
            }
        }
        if (due >= qint64(kMaxSeconds) * 1000) {
            m_timer.stop();
            m_socket->disconnectFromHost();
        }
    }

    void writeFrame(int n)
    {
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        testPicture(n).save(&buffer, "JPEG", 80);
        jpeg = padJpeg(jpeg, kFrameBytes);
        m_socket->write(QByteArray("--") + kBoundary + "\r\nContent-Type: image/jpeg\r\nContent-Length: "
                        + QByteArray::number(jpeg.size()) + "\r\n\r\n" + jpeg + "\r\n");
    }

    QTcpSocket* m_socket;
    bool m_picture;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_sent = 0;   // samples or frames written
};

} // namespace

QString scramble(const QString& address)
{
    QByteArray bytes = address.toLatin1();
    if (bytes.size() >= 18)
        for (int i = 0; i < 18; ++i)
            bytes[i] = char(quint8(bytes[i]) - 1);
    return QString::fromLatin1(bytes);
}

QString directoryPayload(const QString& baseUrl)
{
    QString out = QStringLiteral("\r\n");
    for (const Entry& e : kEntries) {
        const QString path = QString::fromUtf8(e.path);
        const QString address = path.isEmpty() ? QString() : scramble(baseUrl + path);
        out += QString::fromUtf8(e.name) + QStringLiteral("&1") + address + QStringLiteral("&2")
               + QString::fromUtf8(e.category) + QStringLiteral("&3") + QString::fromUtf8(e.group)
               + QStringLiteral("&4") + QString::fromUtf8(e.leaf) + QStringLiteral("***\r\n");
    }
    return out;
}

QByteArray waveHeader(int rate, int seconds)
{
    const quint32 data = quint32(rate) * 2 * quint32(seconds);
    QByteArray h(44, '\0');
    auto put32 = [&](int at, quint32 v) { qToLittleEndian(v, h.data() + at); };
    auto put16 = [&](int at, quint16 v) { qToLittleEndian(v, h.data() + at); };
    memcpy(h.data(), "RIFF", 4);
    put32(4, 36 + data);
    memcpy(h.data() + 8, "WAVEfmt ", 8);
    put32(16, 16);          // format chunk size
    put16(20, 1);           // PCM
    put16(22, 1);           // mono
    put32(24, quint32(rate));
    put32(28, quint32(rate) * 2);
    put16(32, 2);           // block align
    put16(34, 16);          // bits per sample
    memcpy(h.data() + 36, "data", 4);
    put32(40, data);
    return h;
}

QByteArray toneSamples(qint64 from, int samples, int rate)
{
    QByteArray out(qsizetype(samples) * 2, '\0');
    for (int i = 0; i < samples; ++i) {
        const double t = double(from + i) / rate;
        const auto v = qint16(std::lround(8000.0 * std::sin(2 * M_PI * 440.0 * t)));
        qToLittleEndian(v, out.data() + 2 * i);
    }
    return out;
}

QImage testPicture(int n)
{
    QImage image(320, 240, QImage::Format_RGB32);
    QPainter p(&image);
    static const QColor bars[] = {Qt::white, Qt::yellow, Qt::cyan, Qt::green,
                                  Qt::magenta, Qt::red, Qt::blue, Qt::black};
    for (int i = 0; i < 8; ++i)
        p.fillRect(i * 40, 0, 40, 160, bars[i]);
    p.fillRect(0, 160, 320, 80, QColor(20, 20, 40));
    const int sweep = (n * 8) % 320;
    p.fillRect(sweep, 160, 12, 80, QColor(240, 240, 240));
    p.setRenderHint(QPainter::Antialiasing);
    const int x = 20 + std::abs((n * 11) % 560 - 280);
    const int y = 60 + int(40 * std::sin(n / 3.0));
    p.setBrush(QColor(255, 120, 0));
    p.setPen(QPen(Qt::black, 2));
    p.drawEllipse(QPoint(x, y), 18, 18);
    return image;
}

bool startStream(const QString& path, QTcpSocket* socket)
{
    if (path != kTonePath && path != kPicturePath)
        return false;
    new Stream(socket, path == kPicturePath);
    return true;
}

} // namespace sandbox::tv
