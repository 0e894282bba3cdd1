// Small controls shared by the windows: a digits-only edit box, a drop-down the wheel does not
// turn, link labels with the hover colours, and clickable pictures.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>

namespace app {

// Accepts only the digits 0-9 and Backspace, up to maxLength(); every other key is discarded.
class DigitEdit : public QLineEdit {
    Q_OBJECT
public:
    DigitEdit(const QString& name, int maxLength, QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// A drop-down list that a mouse wheel turned over it while it is closed leaves alone: the choice
// stays and no choice is reported; the turn goes on to the window beneath. A choice made in the
// open list, or with the keys, is reported through `activated` as usual.
class ChoiceBox : public QComboBox {
    Q_OBJECT
public:
    explicit ChoiceBox(const QString& name, QWidget* parent = nullptr);

protected:
    void wheelEvent(QWheelEvent* event) override;
};

// A label that reacts to clicks. With the hover rule on: the background turns red and the text
// white while the mouse is over it, white and navy after; `backgroundOnly` changes only the
// background (red over it, white after).
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    enum class Hover { None, Link, BackgroundOnly };
    ClickLabel(const QString& name, const QString& text, Hover hover, QWidget* parent = nullptr);

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void paintColours(const QColor& background, const QColor* text);
    Hover m_hover;
};

// While it lives, clicks, keys and wheel turns aimed at any control of `window` are dropped; other
// windows, message boxes included, take input as usual, and the pointer shows the program busy. For
// a window that waits on the network for work its own controls would change, without greying it
// for what is mostly a moment.
class InputBlock : public QObject {
public:
    explicit InputBlock(QWidget& window);
    ~InputBlock() override;
    InputBlock(const InputBlock&) = delete;
    InputBlock& operator=(const InputBlock&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& m_window;
};

// A label with an objectName (may be null) at a fixed place in its parent.
QLabel* placedLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry);

// A hint (tool tip) shows as rich text whenever it looks like markup; a text from a remote page is
// turned into a hint that shows it as it is.
QString plainHint(const QString& text);

// The faces with Chinese glyphs the program draws with, the one it prefers first. WenQuanYi Micro
// Hei comes first: a screen face of one 5 MB file whose bold is drawn from the regular outlines,
// where Noto Sans CJK opens a second 20 MB file for bold and spreads the common glyphs over far
// more of its files, which cost the program about 9 MiB of memory and a sixth of its start-up
// page faults.
QStringList chineseFontFamilies();

// Centres a window on the primary screen (integer halves of the free width and height).
void centreOnScreen(QWidget* window);

// Small pictures drawn at run time: a magnifier for the search button and the Fetion badge.
// They carry no text.
enum class Glyph { Search, Fetion };
QPixmap glyph(Glyph kind, int size);

} // namespace app
