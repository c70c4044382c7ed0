#include "app/CalendarAccessDialog.h"

#include "components/AlertPresenter.h"
#include "components/Resources.h"
#include "core/OneShot.h"
#include "services/AppleCalendarClient.h"

#include <QApplication>
#include <QCoro/QCoroSignal>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include <memory>

namespace tolvo {

QCoro::Task<Result<bool>> askForCalendarAccess()
{
    QWidget *parent = QApplication::activeWindow();
    auto *box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(QObject::tr("Calendar Access"));
    box->setIconPixmap(resources::image(QStringLiteral("app_icon"), {64, 64}, {}, 2.0));
    box->setTextFormat(Qt::PlainText);
    box->setText(QObject::tr("Tolvo would like to access your calendars."));
    box->setInformativeText(QObject::tr("Tolvo adds copies of your Google Calendar events to the "
                                        "calendar you choose on this computer."));
    QPushButton *allow = box->addButton(QObject::tr("Allow"), QMessageBox::AcceptRole);
    QPushButton *deny = box->addButton(QObject::tr("Don't Allow"), QMessageBox::RejectRole);
    box->setDefaultButton(allow);
    box->setEscapeButton(deny);

    auto answer = std::make_shared<std::optional<bool>>();
    auto *closed = new OneShot;
    QObject::connect(
        box, &QMessageBox::buttonClicked, closed, [answer, allow, deny](QAbstractButton *button) {
            if (button == allow)
                *answer = true;
            else if (button == deny)
                *answer = false;
        });
    QObject::connect(box, &QObject::destroyed, closed, &OneShot::fire);
    sizeMessageBoxForTexts(box);
    box->open();
    co_await qCoro(closed, &OneShot::fired);
    closed->deleteLater();
    if (!*answer)
        co_return failure(
            ErrorDomain::localCalendar, 0, QStringLiteral("The question was not answered."));
    co_return **answer;
}

CalendarAccessPrompt calendarAccessDialogPrompt()
{
    return CalendarAccessPrompt {askForCalendarAccess};
}

} // namespace tolvo
