#include "app/AboutDialog.h"

#include "components/AlertPresenter.h"
#include "components/Resources.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace tolvo {

QMessageBox *showAboutDialog(QWidget *parent)
{
    auto *box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(QObject::tr("About Tolvo"));
    box->setTextFormat(Qt::PlainText);
    box->setIconPixmap(resources::image(QStringLiteral("app_icon"), {64, 64}, {}, 2.0));
    box->setText(QObject::tr("Tolvo %1").arg(QCoreApplication::applicationVersion()));
    box->setInformativeText(QObject::tr("Your Google calendars on the desktop, with a full-screen "
                                        "reminder before every meeting."));
    box->addButton(QMessageBox::Ok);
    sizeMessageBoxForTexts(box);
    box->open();
    return box;
}

} // namespace tolvo
