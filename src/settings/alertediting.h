// Editing rules of the alert settings dialog, on the in-memory alert lists: list-box texts, the
// stock lookup, new-stock defaults, removal and the per-stock switches.
#pragma once

#include "store/alertlists.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace settings {

// The list-box item for a watched stock: the name, then the code in parentheses.
QString stockItemText(const QString& name, const QString& code);

// True when any item already holds the code anywhere in its text.
bool codeListed(const QStringList& items, const QString& code);

// What a quote reply tells the dialog about a code being added.
struct Lookup {
    QString name;                 // empty: the service does not know the code
    std::optional<QString> priceText;   // "最新价:" + price + "元", once the price arrived whole
    std::optional<bool> falling;  // colour of the price line, once the change percent arrived
    bool complete = false;        // the reply reached the change percent: the stock may be added
};
Lookup lookupFromReply(QStringView reply);

// The defaults of a newly added stock: open/close broadcast on, all four alerts off, 5 %,
// 4-digit trades and orders, 10-minute phone broadcasts off.
void appendNewStock(store::AlertLists& lists, const QString& code, const QString& name);

// Removes entry `row` of the nine configuration lists; rows out of range change nothing.
void removeStock(store::AlertLists& lists, int row);

// `flags` with its character `position` (1-4) set to "1" or "0", the others kept; a short
// text is padded with "0" first.
QString withFlag(QString flags, int position, bool on);
// Character `position` (1-4) of `flags` is "1".
bool flagOn(const QString& flags, int position);

// Copies the nine configuration lists and the switches from `from`, leaving the state lists of
// `to` alone.
void copyConfiguration(const store::AlertLists& from, store::AlertLists& to);

} // namespace settings
