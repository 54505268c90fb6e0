// Writes the fuzz target's seed corpus: real frames of every type, mode and
// meter family as the simulator encodes them, and a few whole sessions with
// reads cut mid-frame and the user's clicks between them (the action codes
// of FuzzCore.cpp). Usage: tq800-fuzz-seeds DIR

#include "SimFrames.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace {

// Action codes of the fuzz target.
const std::string kTick = "\x01";
const std::string kClear = "\x03";
const std::string kRepaint = "\x0b";
std::string range(int index) { return std::string("\x04", 1) + char(index); }

std::string dir;
int written = 0;

void put(const std::string &name, const std::string &bytes)
{
    std::ofstream(dir + "/" + name, std::ios::binary) << bytes;
    ++written;
}

sim::LiveReading reading(int mode)
{
    sim::LiveReading r;
    r.mode = mode;
    r.decimals = mode == 1 ? 2 : 0;
    r.month = 3, r.day = 7, r.hour = 9, r.minute = 5, r.second = 45;
    r.tempTenths = 251;
    if (mode == 1)
        r.value = 7010;                       // pH 7.01
    else if (mode >= 2 && mode <= 4)
        r.value = -1234;                      // -123.4 mV
    else if (mode >= 5 && mode <= 8)
        r.value = 2500, r.rangeCode = 1;      // pNa 2.500
    else if (mode >= 9 && mode <= 12) {
        const sim::CondField c = sim::conductivityField(1413);
        r.value = c.raw, r.rangeCode = c.rangeCode;
    } else if (mode >= 13)
        r.value = 825, r.saturationTenths = 953, r.pressureTenths = 1013, r.salinity = 2;
    return r;
}

sim::StoredRecord record(int mode)
{
    sim::StoredRecord r;
    r.mode = mode;
    r.decimals = 2;
    r.month = 11, r.day = 30, r.hour = 23, r.minute = 59, r.second = 58;
    r.value = 1413;
    r.unitCode = mode == 7 || mode == 8 ? 1 : 9;
    r.exponent = 3;
    r.manualTemp = mode % 2 == 1;
    return r;
}

sim::Settings settings(char letter, int family)
{
    sim::Settings s;
    s.letter = letter;
    s.family = family;
    s.timerSeconds = family == 4 ? 90 : 0;
    s.celsius = family != 1;
    s.ph.bufferSet = 4;
    s.ph.calBuffers = 3;
    s.ph.userBuffersThousandths = {4010, 7000, 10010};
    s.ise.ion = 10;
    s.ise.molarMass = 123;
    s.cond.calStandard = 2;
    return s;
}

std::string two(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    dir = argv[1];

    // One frame of each kind.
    for (int mode = 0; mode < 16; ++mode) {
        put("D-mode" + two(mode), sim::encodeLive(reading(mode)));
        put("S-mode" + two(mode), sim::encodeStored(record(mode)));
    }
    for (int family = 0; family < 5; ++family) {
        put("Q-family" + std::to_string(family), sim::encodeSettings(settings('Q', family)));
        put("P-family" + std::to_string(family), sim::encodeSettings(settings('P', family)));
    }
    put("M", sim::encodeModel("05A1.2"));
    put("E", sim::encodeEnd());

    // Sessions: settings, readings cut across reads, the buttons, the end.
    for (int family = 0; family < 5; ++family) {
        static const int kMode[5] = {1, 3, 7, 9, 15};
        std::string s = sim::encodeModel("0" + std::to_string(family) + "B2") + kTick
            + sim::encodeSettings(settings('Q', family)) + kTick + kClear;
        for (int i = 0; i < 12; ++i) {
            sim::LiveReading r = reading(kMode[family]);
            r.second = i * 5;
            r.value += i * 37;
            const std::string f = sim::encodeLive(r);
            // Cut each reading at a different place.
            const std::size_t cut = std::size_t(i) % f.size();
            s += f.substr(0, cut) + kTick + f.substr(cut) + kTick;
        }
        if (family == 3)
            s += range(0) + range(4) + range(7);
        s += kRepaint + sim::encodeEnd() + kTick + kRepaint;
        put("stream-family" + std::to_string(family), s);
    }

    // A memory download: a new recording, records back to back in one read,
    // the end.
    {
        std::string s = sim::encodeSettings(settings('P', 3));
        for (int i = 0; i < 6; ++i) {
            sim::StoredRecord r = record(9 + i % 4);
            r.minute = i;
            s += sim::encodeStored(r);
        }
        put("stream-download", s + sim::encodeEnd() + kTick + kRepaint);
    }

    // A reading across midnight and past the right edge of the chart.
    {
        std::string s = sim::encodeSettings(settings('Q', 0)) + kTick + kClear;
        const int kTimes[][3] = {{23, 58, 0}, {23, 59, 30}, {0, 0, 30}, {0, 30, 0}, {3, 0, 0}};
        for (const auto &t : kTimes) {
            sim::LiveReading r = reading(1);
            r.hour = t[0], r.minute = t[1], r.second = t[2];
            s += sim::encodeLive(r) + kTick;
        }
        put("stream-midnight", s + kRepaint);
    }

    std::printf("%d seeds written to %s\n", written, dir.c_str());
    return 0;
}
