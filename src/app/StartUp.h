#pragma once

#include <QString>

namespace tolvo {

struct AnalyticsManager;

// The reporting services, once per process and before any window: the crash reporter first
// (so a failure while analytics starts is caught), then analytics with the project token, the
// application version (empty when unknown) and the operating system's name and version.
void startReporting(
    const AnalyticsManager &analytics, const QString &appVersion, const QString &osVersion);

} // namespace tolvo
