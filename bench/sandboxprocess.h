// huilan-sandbox as a process of its own (HUILAN_SANDBOX_BIN), so the server's memory and
// processor time stay out of the program's figures, and a settings file pointing every service
// at it.
#pragma once

#include "figure.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <cstdio>

namespace bench {

class SandboxProcess {
public:
    // The moment the benchmarks stand at: a weekday morning in the trading hours.
    static constexpr const char* kClock = "2026-12-09 10:30:00";

    // Stocks the simulated market lists; the first six are the ones its alert scenario steers.
    static QStringList codes()
    {
        return {"600036", "000651", "601318", "000333", "300059", "601398", "600000", "600030", "600104",
                "600276", "600309", "600585", "600690", "600887", "601012", "601857", "000001", "000002",
                "000063", "000538", "000625", "000725", "002415", "002475", "300014", "300015", "300122",
                "300124", "300274", "300408"};
    }

    ~SandboxProcess()
    {
        m_process.kill();
        m_process.waitForFinished();
    }

    // Starts the server on a free port with its data under `dataDir`; false (and a message on
    // stderr) when it does not come up within 10 s.
    bool start(const QString& dataDir, const QStringList& extra = {})
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(sandboxPath(),
                        QStringList{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--data"),
                                    dataDir, QStringLiteral("--clock"), QString::fromLatin1(kClock)}
                            + extra);
        QEventLoop loop;
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &loop, [&] {
            m_output += m_process.readAllStandardOutput();
            const auto match = QRegularExpression(QStringLiteral("listening on (http://\\S+)"))
                                   .match(QString::fromUtf8(m_output));
            if (match.hasMatch()) {
                m_base = match.captured(1);
                loop.quit();
            }
        });
        QObject::connect(&m_process, &QProcess::finished, &loop, &QEventLoop::quit);
        loop.exec();
        if (m_base.isEmpty())
            std::fprintf(stderr, "huilan-sandbox did not start (set HUILAN_SANDBOX_BIN)\n");
        return !m_base.isEmpty();
    }

    QString baseUrl() const { return m_base; }

    // An INI file for the program: every service at this server, the data folder `systemDir`.
    bool writeSettings(const QString& path, const QString& systemDir) const
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        QByteArray ini = "[services]\n";
        for (const char* key : {"ServerBase", "QuoteServiceBase", "BigOrderBase", "ForumBase", "CommentaryBase",
                                "NoticeBase", "CompanyPageBase", "StockSiteBase", "QqFinanceBase", "ChatBase"})
            ini += QByteArray(key) + '=' + m_base.toUtf8() + '\n';
        ini += "[author]\nSpaceUrl=" + m_base.toUtf8() + "/author.html\n";
        ini += "[links]\nFetionHomeUrl=" + m_base.toUtf8() + "/fetion.html\n";
        ini += "[paths]\nSystemDir=" + systemDir.toUtf8() + '\n';
        return file.write(ini) == ini.size();
    }

private:
    QProcess m_process;
    QByteArray m_output;
    QString m_base;
};

} // namespace bench
