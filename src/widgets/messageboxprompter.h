// Message boxes shown with QMessageBox, parented to the window that is active.
#pragma once

#include "core/prompter.h"

class QWidget;

namespace app {

class MessageBoxPrompter : public Prompter {
public:
    void error(const QString& text, const QString& caption = kErrorCaption) override;
    void notice(const QString& text, const QString& caption = kNoticeCaption) override;
    bool question(const QString& text, const QString& caption = kNoticeCaption) override;
};

} // namespace app
