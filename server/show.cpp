#include "show.h"

#include "channelsfile.h"
#include "forms.h"
#include "store.h"

#include <QDateTime>
#include <QTextStream>

namespace server {

namespace {

const char* const kTableTitles[CompanionStore::kTables] = {
    "opening/closing price alerts",
    "trading alerts",
    "broadcasts",
};

void printTable(QTextStream& out, int table, const QList<QStringList>& rows)
{
    out << "table " << table << " (" << kTableTitles[table - 1] << "): " << rows.size()
        << (rows.size() == 1 ? " row" : " rows") << "\n";
    if (rows.isEmpty())
        return;
    out << "  " << CompanionStore::tableFields(table).join(QLatin1Char('\t')) << "\n";
    for (const QStringList& row : rows)
        out << "  " << row.join(QLatin1Char('\t')) << "\n";
}

} // namespace

QString maskToken(const QString& token)
{
    constexpr int kShown = 4;
    if (token.size() <= 2 * kShown)
        return QString(token.size(), QLatin1Char('*'));
    return QString(token.size() - kShown, QLatin1Char('*')) + token.right(kShown);
}

int showNumber(const QString& sn, const QString& location, const QString& channelsFile, QTextStream& out,
               QTextStream& err)
{
    if (!isPhoneNumber(sn)) {
        err << "huilan-server: show: \"" << sn << "\" is not a phone number (11 digits)\n";
        return 2;
    }
    CompanionStore store;
    QString error;
    if (!store.open(location, &error)) {
        err << "huilan-server: " << error << "\n";
        return 1;
    }
    const MirroredConfig config = store.config(sn);
    out << "number " << sn << ": " << (config.registered ? "registered" : "not registered") << "\n";
    out << "phone switch: "
        << (config.ycf == u"1" ? "on" : config.ycf == u"0" ? "off" : "never set") << "\n";
    printTable(out, 1, config.table1);
    printTable(out, 2, config.table2);
    printTable(out, 3, config.table3);

    if (!channelsFile.isEmpty()) {
        const auto file = notify::readChannelsFile(channelsFile, &error);
        if (!file) {
            err << "huilan-server: " << error << "\n";
            return 1;
        }
        const QList<notify::Binding> bindings = file->bindings.value(sn);
        const QStringList emails = file->emails.value(sn);
        out << "push channels in " << channelsFile << ": " << (bindings.size() + emails.size()) << "\n";
        for (const notify::Binding& b : bindings)
            out << "  " << notify::channelName(b.channel) << "\t" << maskToken(b.target)
                << (b.secret.isEmpty() ? QString() : QStringLiteral(" (secret %1)").arg(maskToken(b.secret))) << "\n";
        for (const QString& address : emails)
            out << "  email\t" << address << "\n";
    }

    const QList<CompanionStore::Attempt> attempts = store.attempts(sn, kShownAttempts);
    out << "last phone-alert attempts: " << attempts.size() << "\n";
    for (const CompanionStore::Attempt& a : attempts)
        out << "  " << QDateTime::fromMSecsSinceEpoch(a.msecs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) << "\t"
            << a.channel << "\t" << a.outcome << "\t" << a.code << "\t" << a.key << "\n";
    return 0;
}

} // namespace server
