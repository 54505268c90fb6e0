#pragma once
#include <QString>
#include <optional>

// Cuts meter frames "<" content ">" out of the characters received so far.
//
// Every complete frame is taken, in order: adapters hand over several frames
// in one read and a memory download sends records back to back, so nothing
// after the first ">" may be thrown away. A "<" that comes before the ">" of
// an unfinished frame starts a new frame: the broken one is dropped instead of
// being read by position as a garbled reading. Characters before the first
// "<" are noise and dropped, and an unfinished frame longer than `maxFrame`
// characters is dropped, so the buffer stays small under any flood.
namespace framecut {

// Takes the next complete frame's content out of `buffer` (everything up to
// and including its ">" leaves the buffer). nullopt when no frame is complete.
std::optional<QString> takeFrame(QString &buffer);

// Drops what can never become part of a frame: characters before the last
// "<" when no ">" follows it, everything when there is no "<", and an
// unfinished frame longer than `maxFrame` characters.
void trim(QString &buffer, int maxFrame);

} // namespace framecut
