#pragma once

#include <QLineEdit>

namespace tolvo {

// The forms' one-line field: dark text on a white card of radius 16, no frame. It can show a
// grey hint ("hh:mm") behind the text, which keeps its room when hidden, and a red outline of
// width 3 while its value is invalid.
class TolvoTextField : public QLineEdit
{
    Q_OBJECT
public:
    static constexpr int cornerRadius = 16;
    static constexpr int horizontalPadding = 16;
    static constexpr int verticalPadding = 8;

    explicit TolvoTextField(QWidget *parent = nullptr);

    void setHint(const QString &hint);
    QString hint() const { return m_hint; }
    void setHintShown(bool shown);
    bool isHintShown() const { return m_hintShown; }
    void setInvalid(bool invalid);
    bool isInvalid() const { return m_invalid; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_hint;
    bool m_hintShown = false;
    bool m_invalid = false;
};

} // namespace tolvo
