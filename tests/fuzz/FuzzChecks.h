#pragma once

#include <QByteArray>
#include <QString>

// What each fuzz target checks of one input, shared by the fuzzers and by the regression test
// that replays the inputs they ever failed on. Each answers what went wrong, empty when
// nothing did; refusing an input is fine, crashing or losing data is not.
namespace tolvo::fuzz {

// The event-stream line splitter: a body cut anywhere into two reads gives the same lines.
QString checkEventStreamLines(const QByteArray &input);
// The Google JSON mapping: any event Google may send is stored and read back unchanged.
QString checkGoogleJson(const QByteArray &input);
// The .ics read-and-save round trip: what a save writes reads back as what was saved, with
// the file's other events kept.
QString checkIcsRoundTrip(const QByteArray &input);
// Stored-value decoding (user defaults and SQLite date texts): what decodes re-encodes to
// the same value.
QString checkStoredValues(const QByteArray &input);

} // namespace tolvo::fuzz
