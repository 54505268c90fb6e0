#include "SimMeter.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

const FamilyInfo kFamilies[] = {
    {"ph", 0, 1, "01A2.1", 90},
    {"mv", 1, 2, "02A1.0", 0},
    {"orp", 1, 3, "02A1.0", 0},
    {"eh", 1, 4, "02A1.0", 0},
    {"ise", 2, 5, "03B1.1", 300},
    {"cond", 3, 9, "05A1.2", 0},
    {"res", 3, 10, "05A1.2", 0},
    {"tds", 3, 11, "05A1.2", 0},
    {"sal", 3, 12, "05A1.2", 0},
    {"do", 4, 13, "08A1.3", 60},
};

int roundToInt(double v)
{
    return static_cast<int>(std::lround(v));
}

// Oxygen solubility in fresh water in equilibrium with air at 101.325 kPa,
// mg/L (the usual polynomial in 1/T of the water-quality handbooks).
double oxygenSolubility(double celsius)
{
    const double t = std::clamp(celsius, 0.0, 50.0) + 273.15;
    return std::exp(-139.34411 + 1.575701e5 / t - 6.642308e7 / (t * t)
                    + 1.243800e10 / (t * t * t) - 8.621949e11 / (t * t * t * t));
}

} // namespace

const FamilyInfo *findFamily(std::string_view name)
{
    for (const FamilyInfo &f : kFamilies) {
        if (name == f.name)
            return &f;
    }
    return nullptr;
}

std::string familyNames()
{
    std::string out;
    for (const FamilyInfo &f : kFamilies) {
        if (!out.empty())
            out += '|';
        out += f.name;
    }
    return out;
}

double SimMeter::Walk::next(std::mt19937 &rng)
{
    std::normal_distribution<double> noise(0.0, step);
    value += pull * (centre - value) + noise(rng);
    return value;
}

SimMeter::SimMeter(const MeterOptions &options, const std::tm &switchedOn)
    : m_options(options),
      m_mode(options.mode >= 0 ? options.mode : options.family->mode),
      m_switchedOn(switchedOn),
      m_rng(options.seed),
      m_temp{25.0, 25.0, 0.03, 0.1},
      m_ph{7.0, 7.0, 0.004, 0.05},
      m_mv{0.0, 0.0, 0.3, 0.05},
      m_px{3.0, 3.0, 0.004, 0.05},
      m_cond25{1413.0, 1413.0, 1.5, 0.05},
      m_oxygen{8.25, 8.25, 0.01, 0.05},
      m_pressure{101.3, 101.3, 0.03, 0.05}
{
    // Plausible potentials for a glass electrode near pH 7, a redox electrode
    // in tap water, and the same against a silver-chloride reference.
    double mv = 35.0;
    if (m_mode == 3 || m_mode == 4)
        mv = 245.0;
    m_mv.value = m_mv.centre = mv;
}

std::string SimMeter::modelCode() const
{
    return m_options.model.empty() ? std::string(m_options.family->model) : m_options.model;
}

Settings SimMeter::settings() const
{
    Settings s;
    s.family = m_options.family->family;
    s.timerSeconds = m_options.family->timerSeconds;
    s.celsius = m_options.celsius;

    // Calibrated at switch-on with the 9.18, 6.86 and 4.00 buffers.
    s.ph.bufferSet = 1;
    s.ph.calBuffers = 8 | 4 | 2;
    s.ph.calMonth = m_switchedOn.tm_mon + 1;
    s.ph.calDay = m_switchedOn.tm_mday;
    s.ph.calHour = m_switchedOn.tm_hour;
    s.ph.calMinute = m_switchedOn.tm_min;
    s.ph.offsetHundredthsMv = -135;
    s.ph.slopeTenthsPercent = 987;

    s.mv.urefTenthsMv = 2070;

    s.ise.ion = m_options.ion;
    s.ise.cal1Hundredths = 200;
    s.ise.cal2Hundredths = 400;
    s.ise.offsetTenths = 123;
    s.ise.slopeTenths = 985;
    s.ise.molarMass = m_options.ion == 10 ? m_options.molarMass : 0;

    s.cond.standardSet = 2;
    s.cond.cellDecimals = 4;
    s.cond.trefTenths = 250;
    s.cond.calStandard = 2;
    s.cond.coefHundredths = 200;
    s.cond.cellConstant = 998;

    s.oxygen.resolution = 2;
    return s;
}

void SimMeter::fillValue(LiveReading &r)
{
    const double temp = r.tempTenths / 10.0;
    if (m_mode <= 1) {
        r.decimals = 3;
        r.value = roundToInt(m_ph.next(m_rng) * 1000.0);
    } else if (m_mode <= 4) {
        r.value = roundToInt(m_mv.next(m_rng) * 10.0);
    } else if (m_mode <= 8) {
        r.value = roundToInt(m_px.next(m_rng) * 1000.0);
        r.rangeCode = m_options.ion;
    } else if (m_mode <= 12) {
        // The meter reports the conductivity at the sample temperature; a
        // standard of 1413 uS/cm at 25 degrees reads about 2 %/degree off it.
        const double cond = m_cond25.next(m_rng) * (1.0 + 0.02 * (temp - 25.0));
        const CondField f = conductivityField(cond);
        r.value = f.raw;
        r.rangeCode = f.rangeCode;
    } else {
        const double oxygen = std::max(0.0, m_oxygen.next(m_rng));
        const double pressure = m_pressure.next(m_rng);
        const double saturated = oxygenSolubility(temp) * pressure / 101.325;
        r.value = roundToInt(oxygen * 100.0);
        r.saturationTenths = roundToInt(oxygen / saturated * 1000.0);
        r.pressureTenths = roundToInt(pressure * 10.0);
        r.salinity = 0;
    }
}

LiveReading SimMeter::nextReading(const std::tm &now)
{
    LiveReading r;
    r.mode = m_mode;
    r.month = now.tm_mon + 1;
    r.day = now.tm_mday;
    r.hour = now.tm_hour;
    r.minute = now.tm_min;
    r.second = std::min(now.tm_sec, 59);  // no leap second on the meter's clock
    r.manualTemp = false;
    r.tempTenths = roundToInt(m_temp.next(m_rng) * 10.0);
    fillValue(r);
    return r;
}

namespace {

// One stored quantity of a family: its mode, decimals and unit code, and
// the value in those decimals around which the records scatter.
struct StoredKind { int mode, decimals, unitCode, centre, spread, exponent; };

// Per family, the kinds its memory holds, in turn. ISE covers pX, mol/L
// and mg/L (unit quotients 0 mg/L, 1 g/L) and ppm (2 ppm, 3 ppb).
const std::vector<StoredKind> kStoredKinds[5] = {
    {{1, 3, 0, 7000, 300, 0}, {1, 2, 0, 400, 30, 0}},
    {{2, 0, 0, 1500, 200, 0}, {3, 0, 0, 2500, 300, 0}, {4, 0, 0, 4500, 300, 0}},
    {{5, 0, 0, 250, 20, 0}, {6, 0, 0, 123, 20, 4}, {7, 1, 0, 1000, 100, 0}, {7, 2, 1, 250, 20, 0},
     {8, 1, 2, 100, 10, 0}, {8, 0, 3, 7000, 500, 0}},
    {{9, 0, 10, 1413, 20, 0}, {9, 2, 8, 1288, 20, 0}, {10, 0, 13, 708, 10, 0}, {10, 2, 15, 123, 5, 0},
     {11, 0, 4, 997, 20, 0}, {12, 2, 11, 70, 5, 0}},
    {{13, 2, 4, 825, 30, 0}, {14, 2, 3, 825, 30, 0}, {15, 1, 9, 953, 20, 0}},
};

} // namespace

std::vector<StoredRecord> SimMeter::memory(int count, const std::tm &now)
{
    const auto &kinds = kStoredKinds[std::clamp(m_options.family->family, 0, 4)];
    std::vector<StoredRecord> out;
    out.reserve(static_cast<size_t>(std::max(0, count)));
    std::uniform_int_distribution<int> jitter(-1000, 1000);
    for (int i = 0; i < count; ++i) {
        // Record i was taken count - i minutes before now.
        std::tm t = now;
        t.tm_min -= count - i;
        std::mktime(&t);
        const StoredKind &k = kinds[static_cast<size_t>(i) % kinds.size()];
        StoredRecord r;
        r.mode = k.mode;
        r.decimals = k.decimals;
        r.unitCode = k.unitCode;
        r.exponent = k.exponent;
        r.value = k.centre + k.spread * jitter(m_rng) / 1000;
        r.month = t.tm_mon + 1;
        r.day = t.tm_mday;
        r.hour = t.tm_hour;
        r.minute = t.tm_min;
        r.second = t.tm_sec;
        r.tempTenths = roundToInt(m_temp.next(m_rng) * 10);
        r.manualTemp = i % 7 == 3;
        out.push_back(r);
    }
    return out;
}

} // namespace sim
