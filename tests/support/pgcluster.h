// A throwaway PostgreSQL cluster for tests: made with initdb in a temporary folder, listening only
// on a Unix socket in that folder, without fsync, and removed with the object. When the process
// runs as root the cluster's programs run as the "postgres" user, since initdb refuses root.
#pragma once

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUuid>

#include <algorithm>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

class PgCluster {
public:
    PgCluster()
    {
        bin_ = findBinaries();
        if (bin_.isEmpty()) {
            error_ = QStringLiteral("PostgreSQL's initdb and pg_ctl were not found (install postgresql)");
            return;
        }
        if (!dir_.isValid()) {
            error_ = QStringLiteral("no temporary folder");
            return;
        }
        if (::geteuid() == 0) {
            const passwd* pw = ::getpwnam("postgres");
            if (!pw || ::chown(QFile::encodeName(dir_.path()).constData(), pw->pw_uid, pw->pw_gid) != 0) {
                error_ = QStringLiteral("running as root, and the folder cannot be handed to the postgres user");
                return;
            }
            asPostgres_ = true;
        }
        ::chmod(QFile::encodeName(dir_.path()).constData(), 0700);
        port_ = freePort();
        if (!runTool(QStringLiteral("initdb"), {QStringLiteral("-D"), dataDir(), QStringLiteral("-U"), user(),
                                                 QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-E"),
                                                 QStringLiteral("UTF8"), QStringLiteral("--no-locale"),
                                                 QStringLiteral("--no-sync")}))
            return;
        // Settings kept in the cluster, so a restart comes back the same way.
        const QByteArray settings = QStringLiteral("\nport = %1\nunix_socket_directories = '%2'\n"
                                                   "listen_addresses = ''\nfsync = off\nsynchronous_commit = off\n"
                                                   "full_page_writes = off\nshared_buffers = 16MB\n")
                                        .arg(port_)
                                        .arg(dir_.path())
                                        .toUtf8();
        if (!appendAsOwner(dataDir() + QStringLiteral("/postgresql.conf"), settings))
            return;
        start();
    }

    ~PgCluster()
    {
        if (running_)
            stop();
        // The files belong to the postgres user; QTemporaryDir (root) removes them all the same.
    }

    PgCluster(const PgCluster&) = delete;
    PgCluster& operator=(const PgCluster&) = delete;

    bool isRunning() const { return running_; }
    QString error() const { return error_; }
    QString user() const { return QStringLiteral("huilan"); }
    QString socketDir() const { return dir_.path(); }
    int port() const { return port_; }

    // The address a store opens: the socket folder in place of a host.
    QString url(const QString& database = QStringLiteral("postgres")) const
    {
        return QStringLiteral("postgresql://%1@localhost:%2/%3?host=%4").arg(user()).arg(port_).arg(database, dir_.path());
    }

    bool start()
    {
        running_ = runTool(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), dataDir(), QStringLiteral("-l"),
                                                      dir_.path() + QStringLiteral("/server.log"), QStringLiteral("-w"),
                                                      QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("start")});
        return running_;
    }

    // Fast shutdown: the sessions of connected clients are ended.
    bool stop()
    {
        const bool ok = runTool(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), dataDir(), QStringLiteral("-m"),
                                                           QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")});
        if (ok)
            running_ = false;
        return ok;
    }

    // A new empty database; its address, or an empty string (see error()).
    QString createDatabase()
    {
        const QString name = QStringLiteral("t") + QUuid::createUuid().toString(QUuid::Id128).left(16);
        if (!exec(QStringLiteral("CREATE DATABASE %1").arg(name)))
            return {};
        return url(name);
    }

    // Runs one statement on the "postgres" database over a connection of its own.
    bool exec(const QString& sql)
    {
        const QString connection = QStringLiteral("pgcluster-%1").arg(QUuid::createUuid().toString(QUuid::Id128));
        bool ok = false;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
            db.setHostName(dir_.path());
            db.setPort(port_);
            db.setUserName(user());
            db.setDatabaseName(QStringLiteral("postgres"));
            if (!db.open())
                error_ = db.lastError().text();
            else {
                QSqlQuery q(db);
                ok = q.exec(sql);
                if (!ok)
                    error_ = q.lastError().text();
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(connection);
        return ok;
    }

private:
    QString dataDir() const { return dir_.path() + QStringLiteral("/data"); }

    static QString findBinaries()
    {
        QDir versions(QStringLiteral("/usr/lib/postgresql"));
        QStringList found = versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        std::sort(found.begin(), found.end(), [](const QString& a, const QString& b) { return a.toInt() > b.toInt(); });
        for (const QString& v : found)
            if (QFile::exists(versions.filePath(v + QStringLiteral("/bin/initdb"))))
                return versions.filePath(v + QStringLiteral("/bin"));
        const QString initdb = QStandardPaths::findExecutable(QStringLiteral("initdb"));
        return initdb.isEmpty() ? QString() : QFileInfo(initdb).path();
    }

    static int freePort()
    {
        QTcpServer probe;
        return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 54329;
    }

    bool runTool(const QString& tool, const QStringList& arguments)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        const QString program = bin_ + u'/' + tool;
        if (asPostgres_)
            p.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QStringLiteral("postgres"),
                                                           QStringLiteral("--"), program} + arguments);
        else
            p.start(program, arguments);
        if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            error_ = QStringLiteral("%1 failed: %2").arg(tool, QString::fromLocal8Bit(p.readAll()));
            return false;
        }
        return true;
    }

    bool appendAsOwner(const QString& path, const QByteArray& text)
    {
        QFile f(path);   // root may write it; it stays the postgres user's file
        if (!f.open(QIODevice::Append) || f.write(text) != text.size()) {
            error_ = QStringLiteral("cannot write %1").arg(path);
            return false;
        }
        return true;
    }

    QTemporaryDir dir_;
    QString bin_;
    QString error_;
    int port_ = 0;
    bool asPostgres_ = false;
    bool running_ = false;
};
