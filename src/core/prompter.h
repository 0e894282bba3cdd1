// Message boxes. The real one shows QMessageBox; tests use one that records texts and answers
// questions from a script.
#pragma once

#include <QString>

namespace app {

inline const QString kErrorCaption = QStringLiteral("错误");
inline const QString kNoticeCaption = QStringLiteral("提示");

class Prompter {
public:
    virtual ~Prompter() = default;
    // An error box with the error icon and an OK button.
    virtual void error(const QString& text, const QString& caption = kErrorCaption) = 0;
    // A notice with the information icon and an OK button.
    virtual void notice(const QString& text, const QString& caption = kNoticeCaption) = 0;
    // A question with OK and Cancel; true for OK.
    virtual bool question(const QString& text, const QString& caption = kNoticeCaption) = 0;
};

} // namespace app
