#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QWidget;

namespace tolvo {

// Reports the pointer entering (true) and leaving (false) a widget, only while the widget's
// window is the active one (a visible popup counts). The callback is fixed at installation.
// It is a child of the widget and goes with it.
class MouseInsideModifier : public QObject
{
    Q_OBJECT
public:
    MouseInsideModifier(QWidget *widget, std::function<void(bool)> mouseIsInside);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> m_widget;
    std::function<void(bool)> m_mouseIsInside;
    bool m_reportedInside = false;
};

} // namespace tolvo
