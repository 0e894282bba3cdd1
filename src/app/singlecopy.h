// Keeps one running copy of the program per user: a lock file named after the window title in
// the runtime folder. A lock left behind by a copy that crashed is taken over.
#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace app {

class SingleCopy {
public:
    explicit SingleCopy(const QString& title);
    // True when this copy holds the lock; false when another copy is running.
    bool acquire();
    QString lockPath() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace app
