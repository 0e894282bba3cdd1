// One TV viewer in a window of its own, as the main window holds it, against the fixture's
// sandbox; the status bar's TV panel is a string.
#pragma once

#include "appfixture.h"
#include "net/httpclient.h"
#include "tv/tvcontroller.h"
#include "tv/tvwidgets.h"

#include <QDir>
#include <QMenu>
#include <memory>

struct Viewer {
    explicit Viewer(AppFixture& f) : http(QStringLiteral("IdHTTP1"))
    {
        f.context->state.SystemDir = f.context->settings.SystemDir;
        f.context->state.ServerBase = f.context->settings.ServerBase;
        QDir().mkpath(f.context->state.SystemDir);
        tv = std::make_unique<tv::TvController>(f.context->state, f.prompter, f.opener, http,
                                                [this](const QString& t) { tvState = t; });
        tv->panel()->setParent(&window);
        window.resize(420, 380);
        window.show();
    }
    ~Viewer() { tv.reset(); }

    tv::ColumnLabel* label(const QString& caption) const
    {
        for (tv::ColumnLabel* l : tv->column())
            if (l->text() == caption)
                return l;
        return nullptr;
    }
    QStringList column() const
    {
        QStringList out;
        for (const tv::ColumnLabel* l : tv->column())
            out << l->text();
        return out;
    }
    // Clicks a column label and returns the menu it popped up.
    QMenu* open(const QString& caption)
    {
        tv->mset(label(caption));
        return tv->channelMenu();
    }
    void play(const QString& name)
    {
        tv->nclick(name);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QWidget window;
    net::HttpClient http;
    QString tvState;
    std::unique_ptr<tv::TvController> tv;
};
