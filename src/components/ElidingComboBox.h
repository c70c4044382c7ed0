#pragma once

#include <QComboBox>

namespace tolvo {

// A combo box whose closed face ends a text too long for it with an ellipsis, where the
// platform styles cut it mid-letter. The list shows every text whole.
class ElidingComboBox : public QComboBox
{
    Q_OBJECT
public:
    explicit ElidingComboBox(QWidget *parent = nullptr);

    // The current text as the closed face shows it.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString elided(const QStyleOptionComboBox &option) const;
};

} // namespace tolvo
