#include "app/StartUp.h"

#include "BuildConfig.h"
#include "platform/CrashReporter.h"
#include "services/AnalyticsManager.h"

namespace tolvo {

void startReporting(
    const AnalyticsManager &analytics, const QString &appVersion, const QString &osVersion)
{
    CrashReporter::start(QString::fromUtf8(buildconfig::crashReporterDsn), appVersion);
    analytics.configure(QString::fromUtf8(buildconfig::analyticsToken), appVersion, osVersion);
}

} // namespace tolvo
