// The start-up heap reserve: backed in advance, used without page faults, given back afterwards.
// Built without the sanitizers (their allocator is not glibc's), so it runs in every test tree.
#include "core/startupheap.h"

#include <QFile>
#include <QTest>

#include <sys/resource.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

long minorFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

long rssAnonKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("RssAnon:"))
            return line.mid(8).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

} // namespace

class TestStartupHeap : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void reserveIsUsedWithoutFaultsAndGivenBack()
    {
        const std::size_t reserved = app::reserveStartupHeap(std::size_t(8) << 20);
        if (reserved == 0)
            QSKIP("this kernel cannot back memory in advance (MADV_POPULATE_WRITE needs Linux 5.14)");
        QVERIFY(reserved >= std::size_t(7) << 20);   // less what the heap still had free at its top
        const long anonReserved = rssAnonKiB();

        // 4 MiB of small blocks, written through: without the reserve about a thousand faults.
        std::vector<char*> blocks;
        blocks.reserve(1024);
        const long faults = minorFaults();
        for (int i = 0; i < 1024; ++i) {
            blocks.push_back(static_cast<char*>(std::malloc(4000)));
            std::memset(blocks.back(), 1, 4000);
        }
        QVERIFY2(minorFaults() - faults < 64, qPrintable(QString::number(minorFaults() - faults)));

        for (char* block : blocks)
            std::free(block);
        app::releaseStartupHeap();
        QVERIFY2(rssAnonKiB() < anonReserved - 6 * 1024,
                 qPrintable(QStringLiteral("%1 KiB, %2 KiB with the reserve").arg(rssAnonKiB()).arg(anonReserved)));
    }
};

QTEST_GUILESS_MAIN(TestStartupHeap)
#include "test_startupheap.moc"
