// Work of the start-up that does not need the main thread, done on a thread of its own while the
// main thread opens the window system and builds the windows.
#pragma once

#include <thread>

namespace app {

// From construction, loads the system's font configuration: fontconfig reading its configuration
// files is about a sixth of the start-up's processor time, and the first caption would otherwise
// wait for it (nothing to do where Qt does not draw text through fontconfig).
class StartupLoader {
public:
    StartupLoader();
    ~StartupLoader();
    StartupLoader(const StartupLoader&) = delete;
    StartupLoader& operator=(const StartupLoader&) = delete;

    // Once the application object exists: waits for the configuration, then, on a thread, lists
    // the installed fonts into Qt's font database and loads the database driver, while the
    // program builds its windows. Together another eighth of the start-up, which the first
    // caption and the first show's database would otherwise do on the main thread; if they come
    // first they wait for the thread or do it themselves (both are guarded by Qt's own locks).
    // Keep the returned thread until the application object goes: it joins when destroyed.
    [[nodiscard]] std::jthread loadAfterApplication();

private:
    // Waits until the font configuration is loaded.
    void wait();

    std::thread m_fontConfig;
};

} // namespace app
