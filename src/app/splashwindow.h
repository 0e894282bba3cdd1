// The splash window shown while the main window prepares itself.
#pragma once

#include <QWidget>

namespace app {

class SplashWindow : public QWidget {
    Q_OBJECT
public:
    explicit SplashWindow(QWidget* parent = nullptr);
};

} // namespace app
