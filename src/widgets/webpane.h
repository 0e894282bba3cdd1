// A display-only browser: fetches an address through the page loader and renders the document
// as rich text. Links open in the user's default browser; remote images are not fetched.
#pragma once

#include <QTextBrowser>

namespace net {
class PageLoader;
class UrlOpener;
}

namespace app {

using net::PageLoader;
using net::UrlOpener;

class WebPane : public QTextBrowser {
    Q_OBJECT
public:
    WebPane(const QString& name, UrlOpener& opener, QWidget* parent = nullptr);

    // Shows the page at `url` when it arrives; a later navigate() replaces an earlier one.
    void navigate(const QString& url);
    QString currentAddress() const { return m_address; }
    PageLoader& loader() { return *m_loader; }

Q_SIGNALS:
    void documentComplete(const QString& url);

protected:
    QVariant loadResource(int type, const QUrl& name) override;

private:
    UrlOpener& m_opener;
    PageLoader* m_loader;
    QString m_address;
};

} // namespace app
