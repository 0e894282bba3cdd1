#include "app/startuploader.h"

#include "store/alertstore.h"

#include <QFontDatabase>

#ifdef HUILAN_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

namespace app {

StartupLoader::StartupLoader()
{
#ifdef HUILAN_HAVE_FONTCONFIG
    m_fontConfig = std::thread([] { FcInit(); });
#endif
}

StartupLoader::~StartupLoader()
{
    wait();
}

void StartupLoader::wait()
{
    if (m_fontConfig.joinable())
        m_fontConfig.join();
}

std::jthread StartupLoader::loadAfterApplication()
{
    wait();
    return std::jthread([] {
        QFontDatabase::families();
        store::AlertStore::loadDriver();
    });
}

} // namespace app
