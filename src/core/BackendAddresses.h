#pragma once

#include <QString>
#include <QUrl>

namespace tolvo {

// The relay's two addresses, built one way for every client: Google's push address for the
// channels, and the event stream named after the calendar id's SHA-256.
QUrl backendAddress(const QUrl &backendBase, const QString &path);
QUrl notificationAddress(const QUrl &backendBase);
QUrl eventStreamAddress(const QUrl &backendBase, const QString &calendarId);

} // namespace tolvo
