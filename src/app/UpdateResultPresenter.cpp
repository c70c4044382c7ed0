#include "app/UpdateResultPresenter.h"

#include "components/AlertPresenter.h"
#include "components/Resources.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>

namespace tolvo {

UpdateResultPresenter::UpdateResultPresenter(
    Publisher<UpdateCheckResult> results, QWidget *host, OpenUrl openUrl)
    : QObject(host)
    , m_host(host)
    , m_openUrl(
          openUrl ? std::move(openUrl) : [](const QUrl &url) { QDesktopServices::openUrl(url); })
{
    m_subscription = results.subscribe(
        this, [this](const UpdateCheckResult &result) { present(result); }, Qt::QueuedConnection);
}

void UpdateResultPresenter::present(const UpdateCheckResult &result)
{
    if (m_box)
        m_box->close();
    auto *box = new QMessageBox(m_host);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(tr("Software Update"));
    box->setTextFormat(Qt::PlainText);
    box->setIconPixmap(resources::image(QStringLiteral("app_icon"), {64, 64}, {}, 2.0));
    if (result.update) {
        const UpdateInfo update = *result.update;
        box->setText(tr("A new version of Tolvo is available!"));
        QString details = tr("Tolvo %1 is now available; you have %2.")
                              .arg(update.version, result.currentVersion);
        if (!update.notes.isEmpty())
            details += QStringLiteral("\n\n") + update.notes;
        box->setInformativeText(details);
        QPushButton *download = box->addButton(tr("Download"), QMessageBox::AcceptRole);
        box->addButton(tr("Later"), QMessageBox::RejectRole);
        box->setDefaultButton(download);
        connect(download, &QPushButton::clicked, this, [this, url = update.url] {
            if (url.isValid()
                && (url.scheme() == QLatin1String("https")
                    || url.scheme() == QLatin1String("http")))
                m_openUrl(url);
        });
    } else if (result.error) {
        box->setIcon(QMessageBox::Warning);
        box->setText(tr("Tolvo could not check for updates."));
        box->setInformativeText(
            result.error->message.isEmpty() ? result.error->describe() : result.error->message);
        box->addButton(QMessageBox::Ok);
    } else {
        box->setText(tr("You're up to date!"));
        box->setInformativeText(
            tr("Tolvo %1 is currently the newest version available.").arg(result.currentVersion));
        box->addButton(QMessageBox::Ok);
    }
    m_box = box;
    sizeMessageBoxForTexts(box);
    box->open();
}

} // namespace tolvo
