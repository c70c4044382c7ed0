#pragma once

#include <QLabel>

namespace tolvo {

// A one-line plain-text label that cuts its text with an ellipsis to the width it gets and
// shows the whole text in its tooltip. Line breaks in the text read as spaces.
class ElidedLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ElidedLabel(const QString &text = {}, QWidget *parent = nullptr);
    void setFullText(const QString &text);
    QString fullText() const { return m_fullText; }
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void elide();
    QString oneLine() const;
    QString m_fullText;
};

} // namespace tolvo
