// The sandbox's TV directory and the streams it makes, over real HTTP on loopback.
#include "sandbox.h"
#include "tv.h"

#include "net/codecs.h"
#include "tv/tvdirectory.h"

#include <QElapsedTimer>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTest>
#include <QtEndian>

#include <functional>

namespace {

// The first bytes of the body at `url`: until `bytes` came, `enough` says so, the reply ends or
// `waitMs` pass. *type gets the content type.
QByteArray head(const QString& url, qsizetype bytes, int waitMs, QByteArray* type = nullptr,
                const std::function<bool(const QByteArray&)>& enough = {})
{
    QNetworkAccessManager manager;
    QNetworkReply* reply = manager.get(QNetworkRequest(QUrl(url)));
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < bytes && !(enough && enough(got)) && clock.elapsed() < waitMs && !reply->isFinished()) {
        QTest::qWait(20);
        got += reply->readAll();
    }
    got += reply->readAll();
    if (type)
        *type = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    reply->abort();
    delete reply;
    return got;
}

} // namespace

class TestSandboxTv : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        sandbox::Options o;
        o.port = 0;
        box = std::make_unique<sandbox::Sandbox>(o);
        QVERIFY(box->start());
    }

    void directoryAddressesDescrambleToTheStreams()
    {
        const QByteArray page = head(box->baseUrl() + sandbox::tv::kDirectoryPath, 1 << 20, 5000);
        const tv::TvDirectory d = tv::parseTvDirectory(net::fromGbk(page));
        QCOMPARE(d.categories.size(), 3);
        QVERIFY(d.groups.size() >= 6);
        for (const QString& address : d.addresses) {
            if (!address.isEmpty())
                QVERIFY2(address.startsWith(box->baseUrl() + "/tv/") && tv::isStreamAddress(address),
                         qPrintable(address));
        }
        QCOMPARE(d.names.count(QStringLiteral("上海财经")), 2);
    }

    void toneIsAPacedWave()
    {
        QByteArray type;
        const QByteArray wav = head(box->baseUrl() + "/tv/tone.wav?ch=1", 44 + 22050 * 2, 5000, &type);
        QCOMPARE(type, QByteArray("audio/x-wav"));
        QVERIFY(wav.startsWith("RIFF"));
        QCOMPARE(wav.mid(8, 8), QByteArray("WAVEfmt "));
        QCOMPARE(qFromLittleEndian<quint32>(wav.constData() + 24), 22050u);
        // About a second ahead, not the whole hour at once.
        QVERIFY(wav.size() >= 44 + 22050 * 2);
        QVERIFY(wav.size() < 44 + 22050 * 2 * 10);
    }

    void pictureIsMotionJpeg()
    {
        QByteArray type;
        // The first part whole: its header read and as many bytes after it as it announces. On a
        // loaded machine the first 64 KiB took longer than a fixed wait, and a cut frame failed.
        const auto firstPart = [](const QByteArray& got, QByteArray* jpeg) {
            const qsizetype start = got.indexOf("\r\n\r\n") + 4;
            const qsizetype at = got.indexOf("Content-Length: ");
            if (start < 4 || at < 0 || at > start)
                return false;
            const qsizetype length = got.mid(at + 16, 10).split('\r').first().toLongLong();
            if (got.size() < start + length)
                return false;
            *jpeg = got.mid(start, length);
            return true;
        };
        QByteArray jpeg;
        const QByteArray body = head(box->baseUrl() + "/tv/testcard.mjpg", 1024 * 1024, 30000, &type,
                                     [&](const QByteArray& got) { return firstPart(got, &jpeg); });
        QVERIFY(type.startsWith("multipart/x-mixed-replace; boundary=huilanframe"));
        QVERIFY2(firstPart(body, &jpeg), qPrintable(QString::number(body.size())));
        const QImage frame = QImage::fromData(jpeg, "JPEG");
        QCOMPARE(frame.size(), QSize(320, 240));
        QVERIFY(testFramesMove());
    }

    void neverStartingStreamSendsNothing()
    {
        QVERIFY(head(box->baseUrl() + sandbox::tv::kNeverPath, 1, 800).isEmpty());
    }

private:
    static bool testFramesMove() { return sandbox::tv::testPicture(0) != sandbox::tv::testPicture(3); }

    std::unique_ptr<sandbox::Sandbox> box;
};

QTEST_MAIN(TestSandboxTv)
#include "test_sandbox_tv.moc"
