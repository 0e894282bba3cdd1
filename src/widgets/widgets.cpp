#include "widgets/widgets.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QTextDocument>
#include <QWheelEvent>

namespace app {

InputBlock::InputBlock(QWidget& window) : m_window(window)
{
    QCoreApplication::instance()->installEventFilter(this);   // removed again when destroyed
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
}

InputBlock::~InputBlock()
{
    QGuiApplication::restoreOverrideCursor();
}

bool InputBlock::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
        if (watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == &m_window)
            return true;
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

DigitEdit::DigitEdit(const QString& name, int maxLength, QWidget* parent) : QLineEdit(parent)
{
    setObjectName(name);
    setMaxLength(maxLength);
    setContextMenuPolicy(Qt::NoContextMenu);   // no paste of arbitrary text
    setAcceptDrops(false);
    // Keys are filtered below; the validator also covers what arrives without a key press: the
    // X11 selection pasted with the middle button, a shortcut paste, an input-method commit.
    setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,%1}").arg(maxLength)), this));
}

void DigitEdit::keyPressEvent(QKeyEvent* event)
{
    const QString text = event->text();
    const bool digit = text.size() == 1 && text[0] >= u'0' && text[0] <= u'9'
                       && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (digit || event->key() == Qt::Key_Backspace) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    event->accept();   // discarded
}

ChoiceBox::ChoiceBox(const QString& name, QWidget* parent) : QComboBox(parent)
{
    setObjectName(name);
}

void ChoiceBox::wheelEvent(QWheelEvent* event)
{
    // The open list scrolls in its own view; this only sees turns over the closed box.
    event->ignore();
}

ClickLabel::ClickLabel(const QString& name, const QString& text, Hover hover, QWidget* parent)
    : QLabel(parent), m_hover(hover)
{
    setTextFormat(Qt::PlainText);   // link texts come from remote pages too
    setText(text);
    setObjectName(name);
    setCursor(Qt::PointingHandCursor);
    setAutoFillBackground(hover != Hover::None);
    if (hover == Hover::Link) {
        const QColor navy(0, 0, 128);
        paintColours(Qt::white, &navy);
    } else if (hover == Hover::BackgroundOnly) {
        paintColours(Qt::white, nullptr);
    }
}

void ClickLabel::paintColours(const QColor& background, const QColor* text)
{
    QPalette p = palette();
    p.setColor(QPalette::Window, background);
    if (text)
        p.setColor(QPalette::WindowText, *text);
    setPalette(p);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}

void ClickLabel::enterEvent(QEnterEvent* event)
{
    QLabel::enterEvent(event);
    const QColor white(Qt::white);
    if (m_hover == Hover::Link)
        paintColours(QColor(255, 0, 0), &white);
    else if (m_hover == Hover::BackgroundOnly)
        paintColours(QColor(255, 0, 0), nullptr);
}

void ClickLabel::leaveEvent(QEvent* event)
{
    QLabel::leaveEvent(event);
    const QColor navy(0, 0, 128);
    if (m_hover == Hover::Link)
        paintColours(Qt::white, &navy);
    else if (m_hover == Hover::BackgroundOnly)
        paintColours(Qt::white, nullptr);
}

QLabel* placedLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry)
{
    auto* l = new QLabel(parent);
    // Labels show names and texts from remote pages: never interpret them as markup.
    l->setTextFormat(Qt::PlainText);
    l->setText(text);
    if (name)
        l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(geometry);
    return l;
}

QString plainHint(const QString& text)
{
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal) : text;
}

QStringList chineseFontFamilies()
{
    return {QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
            QStringLiteral("Microsoft YaHei")};
}

void centreOnScreen(QWidget* window)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    window->move(area.x() + (area.width() - window->frameGeometry().width()) / 2,
                 area.y() + (area.height() - window->frameGeometry().height()) / 2);
}

QPixmap glyph(Glyph kind, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (kind) {
    case Glyph::Search:   // magnifier
        p.setPen(QPen(QColor(0, 0, 128), size / 8.0));
        p.drawEllipse(QRectF(size * 0.12, size * 0.12, size * 0.5, size * 0.5));
        p.drawLine(QPointF(size * 0.55, size * 0.55), QPointF(size * 0.88, size * 0.88));
        break;
    case Glyph::Fetion:   // a green speech bubble
        p.setBrush(QColor(40, 160, 60));
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(1, 1, size - 2, size * 0.7), 4, 4);
        p.drawPolygon(QPolygonF({QPointF(size * 0.25, size * 0.65), QPointF(size * 0.5, size * 0.65),
                                 QPointF(size * 0.2, size * 0.95)}));
        break;
    }
    return pixmap;
}

} // namespace app
