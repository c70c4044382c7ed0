#pragma once

#include "components/ClickCounter.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class QWidget;

namespace tolvo {

// Tells a single click from a double click on a widget. A double click is reported at once;
// a single click 0.2 s after its press unless a second click comes first. A slow double click
// (second press after 0.2 s but within the double-click interval) gives single, then double;
// a triple click double twice. Only the left button counts, and the presses are consumed so
// that the parent's "click outside" handling never sees them. A pending single is delivered
// only while the widget lives (the detector is its child).
class ClickCountDetector : public QObject
{
    Q_OBJECT
public:
    static constexpr int singleClickDelayMs = 200;

    ClickCountDetector(QWidget *widget, std::function<void(MouseClickType)> handler);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> m_widget;
    std::function<void(MouseClickType)> m_handler;
    ClickCounter m_counter;
    QPointer<QTimer> m_pendingSingle;
};

} // namespace tolvo
