#include "services/AppUpdater.h"

#include "BuildConfig.h"

#include <QCoreApplication>

namespace tolvo {

AppUpdater AppUpdater::over(QPointer<Updater> updater)
{
    AppUpdater value;
    value.startUpdater = [updater] {
        if (updater)
            updater->start();
    };
    value.checkForUpdates = [updater] {
        if (updater)
            updater->checkForUpdates();
    };
    if (updater) {
        value.canCheckForUpdatesPublisher = updater->canCheckPublisher();
        value.updateCheckResults = updater->checkResults();
    }
    return value;
}

AppUpdater AppUpdater::liveValue()
{
    return over(new Updater(QUrl(QString::fromUtf8(buildconfig::updateFeedUrl)),
        QString::fromLatin1(buildconfig::appVersion), QCoreApplication::instance()));
}

AppUpdater AppUpdater::testValue()
{
    return over(new Updater(
        QUrl(), QString::fromLatin1(buildconfig::appVersion), QCoreApplication::instance()));
}

} // namespace tolvo
