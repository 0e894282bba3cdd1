#include "app/singlecopy.h"

#include <QCryptographicHash>
#include <QDir>
#include <QStandardPaths>

namespace app {

SingleCopy::SingleCopy(const QString& title)
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    // The title is Chinese; a hash keeps the file name plain ASCII on every file system.
    const QByteArray hash =
        QCryptographicHash::hash(title.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    m_path = dir + QStringLiteral("/huilan-") + QString::fromLatin1(hash) + QStringLiteral(".lock");
}

bool SingleCopy::acquire()
{
    m_lock = std::make_unique<QLockFile>(m_path);
    m_lock->setStaleLockTime(0);   // only a lock whose owner process is gone counts as stale
    if (m_lock->tryLock(0))
        return true;
    if (m_lock->error() == QLockFile::LockFailedError && m_lock->removeStaleLockFile())
        return m_lock->tryLock(0);
    return false;
}

} // namespace app
