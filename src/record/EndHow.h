#pragma once
#include <QString>

// How a recording ended: the `how` of its last entry, the event "end", and
// the store's ended_how. A recording without one was cut off (a crash, a
// power cut) and is offered for a restore.
namespace endhow {

inline constexpr char kExport[] = "Export";       // the table was exported
inline constexpr char kExit[] = "Exit";           // the program ended (Exit, its window closed, its port lost)
inline constexpr char kClosed[] = "closed";       // closed from the restore offer, never restored
inline constexpr char kCleared[] = "cleared";     // Clear
inline constexpr char kNewTable[] = "new table";  // a settings frame laid out a new table
inline constexpr char kModel[] = "model frame";   // the meter announced itself again
inline constexpr char kRestore[] = "restore";     // another recording was restored in its place

// The end that a table laid out anew for `cause` (the cause its "begin"
// event names: "Clear", "frame P", ...) gives the recording before it.
QString forCause(const QString &cause);

} // namespace endhow
