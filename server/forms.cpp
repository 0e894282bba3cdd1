#include "forms.h"

#include "companion.h"
#include "store.h"

#include <QStringList>

namespace server {

namespace {

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

// A write the store could not make (the database is away) is worth trying again later.
FormReply stored(bool ok, const QString& payload)
{
    return ok ? FormReply{payload, 200} : FormReply{companion::kServerBusy, 503};
}

} // namespace

bool isPhoneNumber(const QString& sn)
{
    return CompanionStore::acceptsValue(QStringLiteral("sn"), sn);
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
        if (!CompanionStore::acceptsValue(QStringLiteral("ycf"), ycf))
            return FormReply{companion::badFieldPayload(QStringLiteral("ycf")), 200};
        return stored(store.setSwitch(sn, ycf), companion::kSwitchSet);
    }
    if (deleteFrom > 0)
        return stored(store.clearRows(deleteFrom, sn), companion::kRowsDeleted);

    QStringList values;
    for (const QString& name : CompanionStore::tableFields(addTo))
        values << field(name);
    // The store checks every value (and the row cap) in the transaction that adds the row.
    QString badField;
    switch (store.appendRow(addTo, sn, values, &badField)) {
    case CompanionStore::RowAdd::Added: return FormReply{companion::kRowAdded, 200};
    case CompanionStore::RowAdd::TableFull: return FormReply{companion::kTableFull, 200};
    case CompanionStore::RowAdd::Refused: return FormReply{companion::badFieldPayload(badField), 200};
    case CompanionStore::RowAdd::Failed: break;
    }
    return stored(false, {});
}

} // namespace server
