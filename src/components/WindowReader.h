#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

namespace tolvo {

// Builds its content only once it knows its top-level window, and runs `auxiliary` with that
// window every time the content is shown (to centre or set up the window), but not when the
// window system shows it again (restored from minimised). The window is read once and kept
// for the reader's life.
class WindowReader : public QWidget
{
    Q_OBJECT
public:
    using Content = std::function<QWidget *(QWidget *window)>;
    using Auxiliary = std::function<void(QWidget *window)>;

    WindowReader(Content content, Auxiliary auxiliary, QWidget *parent = nullptr);

    QWidget *readWindow() const { return m_window; }
    QWidget *content() const { return m_content; }

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Content m_makeContent;
    Auxiliary m_auxiliary;
    QPointer<QWidget> m_window;
    QPointer<QWidget> m_content;
};

// Puts a top-level window in the middle of its screen's available area (window managers on
// Wayland decide placement themselves and ignore this).
void centreWindow(QWidget *window);
// Puts a top-level window in the middle of another window, kept inside the available area of
// that window's screen.
void centreWindowOn(QWidget *window, const QWidget *over);
// Where a frame of `frame` size goes to be centred on `over`: moved inside `area` as far as
// it fits there, its top-left corner inside the area when it is larger.
QPoint centredTopLeft(QSize frame, const QRect &over, const QRect &area);

} // namespace tolvo
