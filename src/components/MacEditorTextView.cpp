#include "components/MacEditorTextView.h"

#include "components/Fonts.h"
#include "components/Palette.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QTextBlock>
#include <QVBoxLayout>

namespace tolvo {

namespace {
// Opens the side margins, so the text keeps its padding while the scroll bar stays at the edge.
class PaddedEditor : public QPlainTextEdit
{
public:
    using QPlainTextEdit::QPlainTextEdit;
    using QPlainTextEdit::setViewportMargins;
};
} // namespace

MacEditorTextView::MacEditorTextView(QWidget *parent)
    : QWidget(parent)
    , m_editor(new PaddedEditor(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_editor);

    m_editor->setFrameShape(QFrame::NoFrame);
    m_editor->setFont(fixedFont(14));
    m_editor->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_editor->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_editor->setUndoRedoEnabled(true);
    // The card is white whatever the desktop's palette: dark text and a dark caret, or a
    // dark desktop would get white on white.
    QPalette colours = m_editor->palette();
    colours.setColor(QPalette::Text, palette::textDark());
    colours.setColor(QPalette::Base, Qt::transparent);
    colours.setColor(QPalette::Window, Qt::transparent);
    m_editor->setPalette(colours);
    m_editor->viewport()->setAutoFillBackground(false);
    m_editor->setAutoFillBackground(false);
    const int inset = linePadding - int(m_editor->document()->documentMargin());
    static_cast<PaddedEditor *>(m_editor)->setViewportMargins(inset, 0, inset, 0);

    // The scroll bar runs between the card's rounded corners, not across them.
    for (Qt::Alignment end : {Qt::AlignTop, Qt::AlignBottom}) {
        auto *corner = new QWidget;
        corner->setFixedHeight(cornerRadius);
        corner->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_editor->addScrollBarWidget(corner, end);
    }

    m_editor->installEventFilter(this);
    connect(m_editor, &QPlainTextEdit::textChanged, this,
        [this] { emit textChanged(m_editor->toPlainText()); });
}

void MacEditorTextView::setText(const QString &text)
{
    if (text == m_editor->toPlainText())
        return;
    QTextCursor cursor = m_editor->textCursor();
    const int anchor = cursor.anchor();
    const int position = cursor.position();
    // A text from outside (a form filling the field) starts a new history: one undo must not
    // take the field back to what it held before. Typing never gets here, as the bound value
    // comes back unchanged, so its undo steps stay.
    m_editor->setPlainText(text);
    const int end = int(text.size());
    cursor.setPosition(qBound(0, anchor, end));
    cursor.setPosition(qBound(0, position, end), QTextCursor::KeepAnchor);
    m_editor->setTextCursor(cursor);
}

void MacEditorTextView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath card;
    card.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    painter.fillPath(card, Qt::white);
}

bool MacEditorTextView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_editor) {
        if (event->type() == QEvent::FocusIn) {
            emit textChanged(m_editor->toPlainText());
            emit editingChanged();
        } else if (event->type() == QEvent::FocusOut) {
            emit textChanged(m_editor->toPlainText());
            emit committed();
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tolvo
