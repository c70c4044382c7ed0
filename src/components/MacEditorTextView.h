#pragma once

#include <QPlainTextEdit>
#include <QWidget>

namespace tolvo {

// The forms' multi-line editor: dark fixed-pitch text on a white card of radius 16, wrapping,
// with a vertical scroll bar when needed. It is bound to a text held elsewhere: typing emits
// textChanged, and setText writes only a different text, so the caret and the undo history
// survive the round trip through the bound value. A different text set from code is not an
// undo step.
class MacEditorTextView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int cornerRadius = 16;
    static constexpr int linePadding = 16;

    explicit MacEditorTextView(QWidget *parent = nullptr);

    QString text() const { return m_editor->toPlainText(); }
    // Keeps the caret and selection where they were, clamped to the new text's end.
    void setText(const QString &text);
    QPlainTextEdit *editor() const { return m_editor; }

signals:
    void textChanged(const QString &text);
    void editingChanged(); // editing began
    void committed(); // editing ended

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPlainTextEdit *m_editor;
};

} // namespace tolvo
