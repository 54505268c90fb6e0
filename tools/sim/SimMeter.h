// The simulated meter: which family it is, what it reports as its settings
// and how its readings wander from one request to the next.
#pragma once

#include "SimFrames.h"

#include <ctime>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

struct FamilyInfo {
    const char *name;   // command-line name
    int family;         // family code of the settings frame
    int mode;           // measuring mode of the readings
    const char *model;  // model code of the "M" frame
    int timerSeconds;   // the meter's timer setting
};

// nullptr for an unknown name.
const FamilyInfo *findFamily(std::string_view name);
std::string familyNames();  // "ph|mv|..." for the usage text

struct MeterOptions {
    const FamilyInfo *family = nullptr;
    int mode = -1;        // -1: the family's own mode
    int ion = 1;          // ISE ion 0..10
    int molarMass = 123;  // g/mol of the user-defined ion (ion 10)
    bool celsius = true;
    std::string model;    // empty: the family's model code
    unsigned seed = 0;
};

class SimMeter {
public:
    SimMeter(const MeterOptions &options, const std::tm &switchedOn);

    std::string modelCode() const;
    Settings settings() const;
    int mode() const { return m_mode; }

    // Advances every drifting quantity one step and reports it at `now`.
    LiveReading nextReading(const std::tm &now);

    // The meter's memory: `count` records of its family, a minute apart up
    // to `now`, every measuring mode of the family among them.
    std::vector<StoredRecord> memory(int count, const std::tm &now);

private:
    // A value that wanders randomly but is pulled back towards its centre,
    // as a settled electrode in a stirred sample does.
    struct Walk {
        double value;
        double centre;
        double step;
        double pull;
        double next(std::mt19937 &rng);
    };

    void fillValue(LiveReading &r);

    MeterOptions m_options;
    int m_mode;
    std::tm m_switchedOn;
    std::mt19937 m_rng;
    Walk m_temp;      // degrees Celsius
    Walk m_ph;
    Walk m_mv;        // mV
    Walk m_px;
    Walk m_cond25;    // uS/cm referred to 25 degrees
    Walk m_oxygen;    // mg/L
    Walk m_pressure;  // kPa
};

} // namespace sim
