#pragma once

#include <QObject>
#include <QPointer>

#include <QMessageBox>
class QWidget;

namespace tolvo {

class AlertItem;

// A message box left to itself makes a short message as narrow as its longest word and cuts
// off its title. This gives it the width its texts need: the title on one line, a message of
// up to 420 pixels on one line (a longer one wraps at that width), never narrower than 300
// nor wider than its screen; as the box keeps that size, it offers no maximise button. Call
// it once the texts are set, before the box is shown.
void sizeMessageBoxForTexts(QMessageBox *box);

// Shows a view model's alert as a window-modal message box over `host`, for every screen the
// same way. Choosing a button clears the alert first and then runs the button's action, so an
// action may raise the next alert. Clearing the alert from code closes the box without running
// anything; a new alert replaces the one shown. The box is opened with open(), never exec():
// a nested event loop inside a running coroutine is a trap.
class AlertPresenter : public QObject
{
    Q_OBJECT
public:
    AlertPresenter(AlertItem *alert, QWidget *host);
    ~AlertPresenter() override;

    QMessageBox *messageBox() const { return m_box; }

private:
    void sync();
    void dismissSilently();

    QPointer<AlertItem> m_alert;
    QPointer<QWidget> m_host;
    QPointer<QMessageBox> m_box;
};

} // namespace tolvo
