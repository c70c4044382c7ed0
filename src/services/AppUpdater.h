#pragma once

#include "core/Subject.h"
#include "platform/Updater.h"

#include <QPointer>

#include <functional>

namespace tolvo {

// Update checks against the build-time feed. The updater does nothing until started; its
// can-check flag is false until then and while a check runs.
struct AppUpdater
{
    static constexpr const char *dependencyKey = "appUpdater";

    // Starting again changes nothing (every main screen starts it).
    std::function<void()> startUpdater;
    std::function<void()> checkForUpdates;
    // The flag at once on subscription, then every change.
    Publisher<bool> canCheckForUpdatesPublisher;
    // Each check's outcome, for the application to show (our stand-in for an update dialog).
    Publisher<UpdateCheckResult> updateCheckResults;

    // Over an updater of our own; once it is gone, calls do nothing.
    static AppUpdater over(QPointer<Updater> updater);

    static AppUpdater liveValue();
    // Built like the live value, with its own updater, but with no feed: a check ends at once
    // with an error and never reaches the network.
    static AppUpdater testValue();
    static AppUpdater previewValue() { return testValue(); }
};

} // namespace tolvo
