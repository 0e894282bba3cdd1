#include "forms.h"

#include "companion.h"
#include "store.h"

#include <QRegularExpression>
#include <QStringList>

namespace server {

namespace {

// What the whole of a mirrored row's field may hold; fields not listed (null) take any text, names
// included. Each form is compiled once.
const QRegularExpression* patternOf(const QString& field)
{
    static const QRegularExpression switches(QStringLiteral("\\A[01]{4}\\z"));   // four on/off switches
    // digit counts, empty while that switch is off
    static const QRegularExpression counts(QStringLiteral("\\A[0-9]*\\z"));
    static const QRegularExpression percentage(QStringLiteral("\\A(?:[-+]?[0-9]*\\.?[0-9]+)?\\z"));
    static const QRegularExpression minutes(QStringLiteral("\\A[0-9]+\\z"));   // minutes between broadcasts
    if (field == QLatin1String("zh"))
        return &switches;
    if (field == QLatin1String("ddcj") || field == QLatin1String("ddmm"))
        return &counts;
    if (field == QLatin1String("zdf"))
        return &percentage;
    if (field == QLatin1String("sjjg"))
        return &minutes;
    return nullptr;
}

// "/gpdel2.asp" gives 2 for prefix "/gpdel"; 0 when the path is not of that form.
int tableNumber(const QString& path, QLatin1String prefix)
{
    if (!path.startsWith(prefix) || !path.endsWith(QLatin1String(".asp")))
        return 0;
    const QString middle = path.mid(prefix.size(), path.size() - prefix.size() - 4);
    if (middle.size() != 1 || middle[0] < QLatin1Char('1') || middle[0] > QLatin1Char(char('0' + CompanionStore::kTables)))
        return 0;
    return middle[0].unicode() - '0';
}

FormReply stored(bool ok, const QString& payload)
{
    return ok ? FormReply{payload, 200} : FormReply{companion::kServerBusy, 500};
}

} // namespace

bool isPhoneNumber(const QString& sn)
{
    static const QRegularExpression phoneNumber(QStringLiteral("\\A[0-9]{11}\\z"));
    return phoneNumber.match(sn).hasMatch();
}

std::optional<FormReply> answerForm(CompanionStore& store, const QString& path,
                                    const std::function<QString(const QString&)>& field)
{
    const bool addNumber = path == QLatin1String("/gpaddsj.asp");
    const bool setSwitch = path == QLatin1String("/gpycf.asp");
    const int deleteFrom = tableNumber(path, QLatin1String("/gpdel"));
    const int addTo = tableNumber(path, QLatin1String("/gpadd"));
    if (!addNumber && !setSwitch && deleteFrom == 0 && addTo == 0)
        return std::nullopt;

    // Every form page names the phone number it is about; a malformed one changes nothing.
    const QString sn = field(QStringLiteral("sn"));
    if (!isPhoneNumber(sn))
        return FormReply{companion::kBadNumber, 200};

    if (addNumber) {
        switch (store.registerNumber(sn)) {
        case CompanionStore::Registration::Added: return FormReply{companion::kNumberAdded, 200};
        case CompanionStore::Registration::Exists: return FormReply{companion::kNumberExists, 200};
        case CompanionStore::Registration::Failed: break;
        }
        return stored(false, {});
    }
    if (setSwitch) {
        const QString ycf = field(QStringLiteral("ycf"));
        if (ycf != QLatin1String("1") && ycf != QLatin1String("0"))
            return FormReply{companion::badFieldPayload(QStringLiteral("ycf")), 200};
        return stored(store.setSwitch(sn, ycf), companion::kSwitchSet);
    }
    if (deleteFrom > 0)
        return stored(store.clearRows(deleteFrom, sn), companion::kRowsDeleted);

    QStringList values;
    for (const QString& name : CompanionStore::tableFields(addTo)) {
        const QString value = field(name);
        const QRegularExpression* pattern = patternOf(name);
        if (pattern && !pattern->match(value).hasMatch())
            return FormReply{companion::badFieldPayload(name), 200};
        values << value;
    }
    return stored(store.addRow(addTo, sn, values), companion::kRowAdded);
}

} // namespace server
