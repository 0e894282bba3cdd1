// What the information sites' pages share: a deterministic draw per (seed, stock, day, salt), so
// every page of a site says the same thing whenever it is asked, and a plain GBK page frame.
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

namespace sandbox::pagegen {

// A small generator seeded from the world's seed, a stock code, a day and a salt.
class Draw {
public:
    Draw(quint64 seed, const QString& code, const QDate& day, quint64 salt);
    quint64 next();
    int below(int n) { return n > 0 ? int(next() % quint64(n)) : 0; }
    bool chance(int percent) { return below(100) < percent; }
    const QString& pick(const QStringList& items) { return items[below(int(items.size()))]; }

private:
    quint64 m_state;
};

// A stable number for a stock, the same for every day; picks which stocks show a rare layout.
int stockTrait(quint64 seed, const QString& code, quint64 salt, int modulo);

// <html><head>(GBK meta, title)</head><body>BODY</body></html>
QString page(const QString& title, const QString& body);

// A page that sends the browser on to `address` at once (and shows the link meanwhile).
QString movedPage(const QString& title, const QString& address);

// "2026-12-09"
QString isoDate(const QDate& date);

} // namespace sandbox::pagegen
