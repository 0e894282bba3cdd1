#include "info/rumours.h"

#include "net/scan.h"

namespace info {

namespace {

ReportLine reportLine(const QString& link, const QString& text)
{
    if (text.contains(QStringLiteral("更多")))
        return {QString(), QStringLiteral("暂无"), QStringLiteral("暂无")};
    // The anchor text starts with a 13-character prefix the line never shows.
    const QString shown = text.size() <= 30 ? text.mid(13) : text.mid(13, 16) + QStringLiteral("...");
    return {link, shown, net::trimBlanks(text)};
}

} // namespace

QString companyPagePath(const QString& code)
{
    const QString market = code.startsWith(u'6') ? QStringLiteral("sh") : QStringLiteral("sz");
    return QStringLiteral("/realstock/company/") + market + code + QStringLiteral("/nc.shtml");
}

CompanyPageScan scanCompanyPage(QStringView text)
{
    static const QString rumourId = QStringLiteral("id=\"con030\"");
    static const QString reportId = QStringLiteral("id=\"con03-2\"");
    static const QString href = QStringLiteral("href=\"");
    static const QString shtml = QStringLiteral(".shtml");
    static const QString blank = QStringLiteral("blank\">");
    static const QString aEnd = QStringLiteral("</a>");
    static const QString tagEnd = QStringLiteral("\">");

    CompanyPageScan out;
    int rumourState = 0, reportState = 0;
    qsizetype linkStart = 0;   // shared by both sections; it only ever moves forward
    qsizetype rumourLinkEnd = -1;
    qsizetype rumourLinkStart = 0;
    // The first `">` at or after the link start: found by a cursor that only moves forward, so the
    // report anchors cost one pass however many of them lack a `">`.
    qsizetype tagCursor = 0;
    qsizetype tagAt = -1;

    for (qsizetype p = 0; p < text.size(); ++p) {
        if (net::at(text, p, rumourId))
            rumourState = 1;
        if (rumourState == 1) {
            if (net::at(text, p, href))
                linkStart = p + href.size();
            if (net::at(text, p, shtml)) {
                rumourLinkStart = linkStart;
                rumourLinkEnd = p + shtml.size();
            }
            if (net::at(text, p, blank))
                linkStart = p + blank.size();
            if (net::at(text, p, aEnd)) {
                out.rumour.title = linkStart < p ? text.mid(linkStart, p - linkStart).toString() : QString();
                rumourState = 2;
            }
        }
        if (net::at(text, p, reportId))
            reportState = 1;
        if (reportState == 1) {
            if (net::at(text, p, href))
                linkStart = p + href.size();
            if (net::at(text, p, aEnd)) {
                if (tagAt < linkStart) {
                    tagCursor = qMax(tagCursor, linkStart);
                    tagAt = -1;
                    while (tagCursor + tagEnd.size() <= p) {
                        if (net::at(text, tagCursor, tagEnd)) {
                            tagAt = tagCursor;
                            break;
                        }
                        ++tagCursor;
                    }
                }
                if (tagAt >= linkStart && tagAt + tagEnd.size() <= p) {
                    const qsizetype textStart = tagAt + tagEnd.size();
                    out.report = reportLine(text.mid(linkStart, tagAt - linkStart).toString(),
                                            text.mid(textStart, p - textStart).toString());
                    break;
                }
            }
        }
    }
    if (rumourLinkEnd >= 0)
        out.rumour.link = rumourLinkEnd > rumourLinkStart
                              ? net::trimBlanks(text.mid(rumourLinkStart, rumourLinkEnd - rumourLinkStart))
                              : QString();
    return out;
}

} // namespace info
