#pragma once

#include <QAbstractButton>

namespace tolvo {

// One tab of the settings window: the image over its title. The selected tab shows the image
// in the accent blue and the title in dark text on a faint blue rounded background.
class TabButton : public QAbstractButton
{
    Q_OBJECT
public:
    TabButton(const QString &title, const QString &imageName, QWidget *parent = nullptr);

    QString imageName() const { return m_imageName; }
    QColor iconColor() const;
    QColor titleColor() const;
    QColor backgroundColor() const; // invalid when clear

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_imageName;
};

} // namespace tolvo
