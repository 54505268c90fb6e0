#include "SimRequests.h"

namespace sim {

RequestSplit splitRequests(std::string_view bytes)
{
    RequestSplit out;
    bool inRequest = false;
    std::string command;
    for (char c : bytes) {
        if (c == '@') {
            inRequest = true;
            command.clear();
        } else if (!inRequest) {
            continue;
        } else if (c == '#') {
            out.commands.push_back(command);
            inRequest = false;
        } else if (command.size() < kMaxCommandLength) {
            command += c;
        } else {
            inRequest = false;
        }
    }
    if (inRequest)
        out.tail = "@" + command;
    return out;
}

Request classifyRequest(std::string_view command)
{
    if (command == "A")
        return Request::Identify;
    if (command.empty())
        return Request::Reading;
    if (command == "B")
        return Request::Stop;
    return Request::Ignored;
}

} // namespace sim
