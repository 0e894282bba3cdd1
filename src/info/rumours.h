// The latest rumour and research report of the company news page.
#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace info {

// "/realstock/company/sh600000/nc.shtml": "sh" for codes starting with 6, "sz" for the others.
QString companyPagePath(const QString& code);

struct RumourLine {
    std::optional<QString> link;    // the last ".shtml" address met in the rumour section, trimmed
    std::optional<QString> title;   // the first anchor text of the section, as it stands
};

struct ReportLine {
    QString link;      // empty when there is no report ("更多" only)
    QString caption;   // what the line shows
    QString hint;      // the whole text, trimmed, or "暂无"
};

struct CompanyPageScan {
    RumourLine rumour;
    std::optional<ReportLine> report;   // none: the page had no usable report anchor
};

// One pass over the company page: the rumour section (id="con030") and the report section
// (id="con03-2"), which share one link start. The scan ends at the first usable report anchor.
CompanyPageScan scanCompanyPage(QStringView text);

} // namespace info
