#pragma once

#include <QWidget>

class QScrollArea;

namespace tolvo {

// A secondary top-level window of a fixed size (at most its screen's) that holds one form and is
// deleted once it closes. It opens centred on the screen (window managers that place windows
// themselves may not honour that) and keeps the window manager's frame, so it can always be moved
// and closed. Escape closes it, as the form's Cancel does. `closing()` is emitted on every
// close, the window manager's included.
class FormWindow : public QWidget
{
    Q_OBJECT
public:
    FormWindow(QSize size, QWidget *content, QWidget *parent = nullptr);

    QWidget *content() const { return m_content; }
    QScrollArea *scrollArea() const { return m_scrollArea; }
    // Shows the window centred on its screen, raised and active.
    void present();

signals:
    void closing();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QWidget *m_content;
    QSize m_size;
    QScrollArea *m_scrollArea = nullptr;
};

// A window of a fixed size (a form, the settings, an alert) offers no maximise button: it could
// not grow. Its type and its other buttons stay. Call it before the window is shown.
void offerNoMaximize(QWidget *window);

} // namespace tolvo
