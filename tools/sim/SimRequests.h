// Splitting the program's requests out of the byte stream it writes.
//
// A request is "@" + command + "#". Reads from the line can end anywhere, so
// an unfinished request is handed back as a tail to be prefixed to the next
// read. Bytes outside a request are line noise and are dropped; a new "@"
// restarts the request, so a request cut off by noise does not swallow the
// next good one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sim {

struct RequestSplit {
    std::vector<std::string> commands;  // the text between "@" and "#", in order
    std::string tail;                   // "" or an unfinished request starting with "@"
};

// Longest command kept; anything longer is noise and is dropped.
inline constexpr size_t kMaxCommandLength = 16;

// `bytes` is the previous tail followed by the newly read bytes.
RequestSplit splitRequests(std::string_view bytes);

enum class Request { Identify, Reading, Stop, Ignored };

// "A" identify (model, settings, end), "" one reading, "B" stop readings.
Request classifyRequest(std::string_view command);

} // namespace sim
