#pragma once

#include "core/Subject.h"
#include "platform/Updater.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>

class QMessageBox;
class QWidget;

namespace tolvo {

// Shows the outcome of every update check ("Check for Updates…") in a window-modal box over
// the main window: a newer release with its notes and a "Download" button that opens its
// page, "You're up to date!", or why the check failed.
class UpdateResultPresenter : public QObject
{
    Q_OBJECT
public:
    using OpenUrl = std::function<void(const QUrl &)>;

    UpdateResultPresenter(
        Publisher<UpdateCheckResult> results, QWidget *host, OpenUrl openUrl = {});

    QMessageBox *messageBox() const { return m_box; }
    void present(const UpdateCheckResult &result);

private:
    QPointer<QWidget> m_host;
    OpenUrl m_openUrl;
    QPointer<QMessageBox> m_box;
    Subscription m_subscription;
};

} // namespace tolvo
