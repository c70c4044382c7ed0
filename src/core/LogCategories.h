#pragma once

#include <QLoggingCategory>

// The application's named logging categories. Debug lines are off unless a rule turns them on
// (QT_LOGGING_RULES="tolvo.sync.debug=true"); warnings and worse are shown as usual.
namespace tolvo {

// Live sync: push channels set up, renewed and stopped, event streams, listings fetched.
Q_DECLARE_LOGGING_CATEGORY(lcSync)
// The local calendar store and the copies written into it.
Q_DECLARE_LOGGING_CATEGORY(lcStore)
// The application database.
Q_DECLARE_LOGGING_CATEGORY(lcDb)
// The Google sign-in and its stored session.
Q_DECLARE_LOGGING_CATEGORY(lcSession)
// The running instance: one per user and data folder.
Q_DECLARE_LOGGING_CATEGORY(lcInstance)
// What services report through the logger below the error level.
Q_DECLARE_LOGGING_CATEGORY(lcLog)

} // namespace tolvo
