#pragma once

#include <QString>

namespace tolvo::TolvoStrings {

// Counted durations from the "Localizable" table ("%n minutes"), in the user's language once a
// translation is installed; a key without a translation is its own format.
QString days(int count);
QString hours(int count);
QString minutes(int count);
QString seconds(int count);

} // namespace tolvo::TolvoStrings
