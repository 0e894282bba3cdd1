#include "widgets/webpane.h"

#include "net/pageloader.h"
#include "net/urlopener.h"

namespace app {

WebPane::WebPane(const QString& name, UrlOpener& opener, QWidget* parent)
    : QTextBrowser(parent), m_opener(opener), m_loader(new PageLoader(this))
{
    setObjectName(name);
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setFrameShape(QFrame::NoFrame);
    connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl& link) {
        const QUrl resolved = QUrl(m_address).resolved(link);
        m_opener.open(resolved.toString());
    });
    connect(m_loader, &PageLoader::loaded, this,
            [this](const QString& url, const QByteArray& body, const QByteArray& type) {
                setHtml(net::PageLoader::decodeDocument(body, type));
                Q_EMIT documentComplete(url);
            });
}

void WebPane::navigate(const QString& url)
{
    m_address = url;
    m_loader->load(url);
}

QVariant WebPane::loadResource(int, const QUrl&)
{
    return {};   // no images or style sheets from the network: a page is shown as text only
}

} // namespace app
