#include "channelsfile.h"

#include <QFile>
#include <QRegularExpression>

namespace server::notify {

ChannelsFile parseChannelsFile(const QByteArray& text)
{
    ChannelsFile out;
    static const QRegularExpression phone(QStringLiteral("^1[0-9]{10}$"));
    static const QRegularExpression telegramToken(QStringLiteral("^[0-9]{1,20}:[A-Za-z0-9_-]{20,100}$"));
    QString section;
    SmtpSettings mail;
    // One [smtp] key: host, port (465 means TLS from the start, any other STARTTLS), user,
    // password, from, and cafile for a self-hosted server's own certificate.
    auto smtp = [&mail](const QString& key, const QString& value) {
        static const QRegularExpression host(QStringLiteral("^[A-Za-z0-9.-]{1,253}$"));
        if (key == QLatin1String("host") && host.match(value).hasMatch())
            mail.host = value;
        else if (key == QLatin1String("port") && value.toUShort() > 0) {
            mail.port = value.toUShort();
            mail.implicitTls = mail.port == 465;
        } else if (key == QLatin1String("user"))
            mail.user = value;
        else if (key == QLatin1String("password"))
            mail.password = value;
        else if (key == QLatin1String("from") && isMailAddress(value))
            mail.from = value;
        else if (key == QLatin1String("cafile") && !value.isEmpty())
            mail.caFile = value;
        else
            return false;
        return true;
    };
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines[i]).trimmed();
        auto problem = [&](const QString& what) { out.problems << QStringLiteral("line %1: %2").arg(i + 1).arg(what); };
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            section = line.endsWith(u']') ? line.mid(1, line.size() - 2).trimmed() : QString();
            if (section != QLatin1String("telegram") && section != QLatin1String("smtp") && !phone.match(section).hasMatch()) {
                problem(QStringLiteral("a section is a phone number of 11 digits, [telegram] or [smtp]"));
                section = QStringLiteral("?");   // its keys are skipped without a report each
            }
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0) {
            problem(QStringLiteral("not key=value"));
            continue;
        }
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        if (section == QLatin1String("?"))
            continue;
        if (section.isEmpty()) {
            problem(QStringLiteral("a key before the first section"));
        } else if (section == QLatin1String("telegram")) {
            if (key != QLatin1String("token") || !telegramToken.match(value).hasMatch())
                problem(QStringLiteral("[telegram] takes token=BOT_TOKEN"));
            else
                out.telegramToken = value;
        } else if (section == QLatin1String("smtp")) {
            if (!smtp(key, value))
                problem(QStringLiteral("[smtp] %1: not a usable value").arg(key));
        } else if (key == QLatin1String("email")) {
            if (isMailAddress(value))
                out.emails[section].append(value);
            else
                problem(QStringLiteral("email: not a usable address"));
        } else if (const auto channel = channelNamed(key)) {
            if (const auto binding = parseBinding(*channel, value))
                out.bindings[section].append(*binding);
            else
                problem(QStringLiteral("%1: not a usable value").arg(key));
        } else {
            problem(QStringLiteral("unknown channel \"%1\"").arg(key));
        }
    }
    if (!mail.host.isEmpty() && !mail.from.isEmpty())
        out.smtp = mail;
    if (!out.emails.isEmpty() && !out.smtp)
        out.problems << QStringLiteral("email: no [smtp] host= and from= in the file");
    for (auto it = out.bindings.cbegin(); it != out.bindings.cend(); ++it)
        for (const Binding& b : it.value())
            if (b.channel == Channel::Telegram && out.telegramToken.isEmpty()) {
                out.problems << QStringLiteral("[%1] telegram: no [telegram] token= in the file").arg(it.key());
                break;
            }
    return out;
}

std::optional<ChannelsFile> readChannelsFile(const QString& path, QString* error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot read %1: %2").arg(path, f.errorString());
        return std::nullopt;
    }
    return parseChannelsFile(f.read(1024 * 1024));
}

} // namespace server::notify
