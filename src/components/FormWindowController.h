#pragma once

#include "components/FormWindow.h"

#include <QObject>
#include <QPointer>

namespace tolvo {

// Owns one form window: `present` puts a view into a new window, which from then on owns the
// controller, so that closing the window deletes both and the opener need keep nothing.
class FormWindowController : public QObject
{
    Q_OBJECT
public:
    FormWindow *window() const { return m_window; }

    // Brings the window to the front (it is already shown once presented).
    void showWindow();
    void close();

signals:
    // The window is closing, by the form or by the window manager.
    void closing();

protected:
    FormWindowController() = default;
    void present(QSize size, QWidget *view);

private:
    QPointer<FormWindow> m_window;
};

} // namespace tolvo
