#include "tv/mediabackend.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>
#include <QStringList>

namespace tv {

namespace {

// Where the module may be: HUILAN_PLAYER_MODULE alone when set; otherwise next to the program,
// in the library folder of an installed program, then in the build tree (for the tests, whose
// programs are elsewhere).
QStringList moduleCandidates()
{
    const QString chosen = qEnvironmentVariable("HUILAN_PLAYER_MODULE");
    if (!chosen.isEmpty())
        return {chosen};
    const QString here = QCoreApplication::applicationDirPath();
    return {here + QStringLiteral("/huilan-player.so"),
            here + QStringLiteral("/" HUILAN_PLAYER_FROM_BIN "/huilan-player.so"),
            QStringLiteral(HUILAN_PLAYER_BUILD_PATH)};
}

} // namespace

MediaBackend* loadMediaBackend(QWidget* parent, std::function<void()> changed, QString* error)
{
    QStringList reasons;
    for (const QString& path : moduleCandidates()) {
        if (!QFileInfo::exists(path))
            continue;
        // Never unloaded: the player's objects use the module's code until the program ends.
        QLibrary library(path);
        if (auto make = reinterpret_cast<MakeMediaBackend>(library.resolve(kMakeMediaBackend)))
            return make(parent, std::move(changed));
        reasons << library.errorString();
    }
    *error = QStringLiteral("找不到播放组件 huilan-player");
    if (!reasons.isEmpty())
        *error += QStringLiteral(" (%1)").arg(reasons.join(QStringLiteral("; ")));
    return nullptr;
}

} // namespace tv
