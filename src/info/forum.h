// Today's forum posts about the current stock: the forum page scanner, the date normalisation and
// the post lists with their opened marks and the latest-post rules.
#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace info {

// One post as the forum page lists it.
struct ForumPost {
    QString clicks;
    QString replies;
    QString link;     // absolute address of the post's page: the post's identity
    QString title;
    QString author;   // trimmed; the link text when the author cell holds a link
    QString date;     // normalised, see normaliseForumDate
};

// The forum writes month-day and time ("03-05 14:22"); this gives the date form without leading
// zeros and with the year in front ("2009-3-5"). A text without a space gets no year.
QString normaliseForumDate(const QString& text, int year);

// The posts of the forum topic page `text`, in page order. Nothing is read before the date column's
// heading "发表日期". `forumBase` is put in front of each post's relative address.
QList<ForumPost> scanForumPage(QStringView text, const QString& forumBase, int year);

// "最新于:" line and the latest-post line after a read.
struct LatestPostUpdate {
    bool noPosts = false;      // no post today: caption "今日尚无留言", comment link emptied
    bool failure = false;      // ... and the line had not been filled yet for this stock
    bool show = false;         // the line shows `post` and the marker with the time
    int post = -1;             // index into the post lists
};

// A link line's caption for a title (the latest post, the latest rumour): cut to 16 characters
// and "..." when longer.
QString latestCaption(const QString& title);

// The posts found since the last reset, five parallel lists in the order found, and the opened
// marks of the grid rows in blocks of four (row r uses entries 4(r-1)..4(r-1)+3; "1" not opened,
// "0" opened). There is always one block more than there are posts: the empty row below the last.
class ForumPosts {
public:
    ForumPosts() { reset(); }

    QStringList PostTitleList;
    QStringList PostDateList;
    QStringList PostLinkList;
    QStringList PostCountList;
    QStringList PostAuthorList;
    QStringList PostMarkList;
    int rowsShown = 0;              // posts already written into the grid
    bool latestPostFlag = false;    // the latest-post line was filled for the current stock
    QString investorCommentLink;    // the post shown in the latest-post line

    int count() const { return int(PostTitleList.size()); }

    // Empties the five lists, puts back one block of marks and sets rows shown to 0. The
    // latest-post flag is left alone: only a change of stock clears it.
    void reset();

    // Adds the posts of `today` (system date form) whose link is not known yet, in order, each
    // with a block of "1" marks. Returns how many were added.
    int addToday(const QList<ForumPost>& posts, const QString& today);

    // What the latest-post line does after a read that added `added` posts; sets the flag and the
    // comment link as the line takes a post.
    LatestPostUpdate updateLatest(int added);

    // The first mark of grid row `row` (data rows from 1) is "0".
    bool opened(int row) const;
    // Row `row` was opened: its four marks become "0". Rows past the marks are ignored.
    void markOpened(int row);

private:
    QSet<QString> m_links;
};

} // namespace info
