#include "core/LogCategories.h"

namespace tolvo {

// Info and up shown by default: debug stays silent until asked for.
Q_LOGGING_CATEGORY(lcSync, "tolvo.sync", QtInfoMsg)
Q_LOGGING_CATEGORY(lcStore, "tolvo.store", QtInfoMsg)
Q_LOGGING_CATEGORY(lcDb, "tolvo.db", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSession, "tolvo.session", QtInfoMsg)
Q_LOGGING_CATEGORY(lcInstance, "tolvo.instance", QtInfoMsg)
// The logger's info and warning lines are chatty by design (every stream line, every answer):
// silent unless asked for with "tolvo.log.info=true" or "tolvo.log.warning=true".
Q_LOGGING_CATEGORY(lcLog, "tolvo.log", QtCriticalMsg)

} // namespace tolvo
