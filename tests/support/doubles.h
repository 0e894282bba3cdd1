// Test doubles for the edges the application talks through: message boxes and the browser.
#pragma once

#include "core/prompter.h"
#include "net/urlopener.h"

#include <QList>
#include <QStringList>

struct RecordedBox {
    QString kind;   // "error", "notice", "question"
    QString caption;
    QString text;
};

class RecordingPrompter : public app::Prompter {
public:
    void error(const QString& text, const QString& caption) override { boxes.append({"error", caption, text}); }
    void notice(const QString& text, const QString& caption) override { boxes.append({"notice", caption, text}); }
    bool question(const QString& text, const QString& caption) override
    {
        boxes.append({"question", caption, text});
        return answers.isEmpty() ? true : answers.takeFirst();
    }
    QStringList texts() const
    {
        QStringList out;
        for (const auto& b : boxes)
            out << b.text;
        return out;
    }
    QList<RecordedBox> boxes;
    QList<bool> answers;   // answers to questions, in order; OK when it runs out
};

class RecordingUrlOpener : public net::UrlOpener {
public:
    QStringList opened;

protected:
    void openWebAddress(const QUrl& url) override { opened << url.toString(); }
};
