#pragma once

#include "core/Result.h"

#include <QCoro/QCoroTask>

namespace tolvo {

struct CalendarAccessPrompt;

// Asks in a window-modal box whether Tolvo may keep copies of Google events in the local
// calendar. "Allow" answers true, "Don't Allow" (or Escape) false; closing the box without an
// answer is an error, so the next request asks again.
QCoro::Task<Result<bool>> askForCalendarAccess();

// The prompt the application installs.
CalendarAccessPrompt calendarAccessDialogPrompt();

} // namespace tolvo
