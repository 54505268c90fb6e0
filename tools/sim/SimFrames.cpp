#include "SimFrames.h"

#include <algorithm>
#include <cmath>

namespace sim {

std::string hex4(int value)
{
    static const char digits[] = "0123456789ABCDEF";
    const unsigned word = static_cast<unsigned>(value) & 0xFFFFu;
    std::string out(4, '0');
    for (int i = 0; i < 4; ++i)
        out[static_cast<size_t>(i)] = digits[(word >> (12 - 4 * i)) & 0xFu];
    return out;
}

unsigned bitField(int value, int high, int low)
{
    const int width = high - low + 1;
    const unsigned mask = (1u << width) - 1u;
    return (static_cast<unsigned>(value) & mask) << low;
}

bool isOxygenMode(int mode)
{
    return mode >= 13 && mode <= 15;
}

unsigned temperatureWord(int rangeCode, bool manualTemp, int tempTenths)
{
    return bitField(rangeCode, 15, 12) | bitField(manualTemp ? 1 : 0, 11, 11)
        | bitField(tempTenths + 500, 10, 0);
}

namespace {

std::string frame(char letter, const std::vector<int> &fields)
{
    std::string out;
    out.reserve(3 + 4 * fields.size());
    out += '<';
    out += letter;
    for (int f : fields)
        out += hex4(f);
    out += '>';
    return out;
}

int asInt(unsigned word)
{
    return static_cast<int>(word);
}

std::vector<int> phFields(const Settings &s)
{
    const PhPage &p = s.ph;
    std::vector<int> f;
    f.push_back(asInt(bitField(s.celsius ? 1 : 0, 15, 15) | bitField(p.pu1 ? 1 : 0, 14, 14)
                      | bitField(p.pu2 ? 1 : 0, 13, 13) | bitField(p.bufferSet, 12, 10)
                      | bitField(p.spareBits, 9, 0)));
    f.push_back(asInt(bitField(p.calBuffers, 15, 11) | bitField(p.calMonth * 100 + p.calDay, 10, 0)));
    f.push_back(p.calHour * 100 + p.calMinute);
    f.push_back(p.offsetHundredthsMv);
    f.push_back(p.slopeTenthsPercent);
    for (size_t i = 0; i < p.userBuffersThousandths.size() && i < 3; ++i)
        f.push_back(p.userBuffersThousandths[i]);
    return f;
}

std::vector<int> mvFields(const Settings &s)
{
    return {asInt(bitField(s.celsius ? 1 : 0, 15, 15) | bitField(s.mv.urefTenthsMv, 14, 0))};
}

std::vector<int> iseFields(const Settings &s)
{
    const IsePage &p = s.ise;
    // Fields 7 and 8 are not used by the ISE page but the molar mass sits in
    // field 9, so they go out as zeros to keep it at its place.
    return {
        asInt(bitField(s.celsius ? 1 : 0, 15, 15) | bitField(p.ion, 14, 11) | bitField(p.cal1Hundredths, 10, 0)),
        p.cal2Hundredths,
        p.field4,
        p.offsetTenths,
        p.slopeTenths,
        0,
        0,
        asInt(bitField(p.field9High, 15, 12) | bitField(p.molarMass, 11, 0)),
    };
}

std::vector<int> condFields(const Settings &s)
{
    const CondPage &p = s.cond;
    return {
        asInt(bitField(s.celsius ? 1 : 0, 15, 15) | bitField(p.standardSet, 14, 12)
              | bitField(p.cellDecimals, 11, 9) | bitField(p.trefTenths, 8, 0)),
        // Standard number x 1024 + coefficient, and high part x 8192 + cell
        // constant: with non-negative parts these are plain bit fields.
        asInt(bitField(p.calStandard, 15, 10) | bitField(p.coefHundredths, 9, 0)),
        asInt(bitField(p.field4High, 15, 13) | bitField(p.cellConstant, 12, 0)),
    };
}

std::vector<int> doFields(const Settings &s)
{
    return {asInt(bitField(s.celsius ? 1 : 0, 15, 15) | bitField(s.oxygen.resolution, 14, 12)
                  | bitField(s.oxygen.spareThousandths, 11, 0))};
}

} // namespace

std::string encodeLive(const LiveReading &r)
{
    std::vector<int> f;
    f.push_back(asInt(bitField(r.mode, 15, 12) | bitField(r.decimals, 11, 10)
                      | bitField(r.month, 9, 6) | bitField(r.second, 5, 0)));
    f.push_back(asInt(bitField(r.day, 15, 11) | bitField(r.hour, 10, 6) | bitField(r.minute, 5, 0)));
    f.push_back(r.value);
    if (isOxygenMode(r.mode)) {
        f.push_back(r.saturationTenths);
        f.push_back(r.pressureTenths);
        f.push_back(r.salinity);
    }
    f.push_back(asInt(temperatureWord(r.rangeCode, r.manualTemp, r.tempTenths)));
    return frame('D', f);
}

std::string encodeStored(const StoredRecord &r)
{
    int c = r.value;
    if (r.mode == 5 || r.mode >= 9)
        c = asInt(bitField(r.unitCode, 15, 12) | bitField(r.value, 11, 0));
    else if (r.mode == 6)
        c = asInt(bitField(r.exponent, 15, 10) | bitField(r.value, 9, 0));
    else if (r.mode == 7 || r.mode == 8)
        c = asInt(unsigned(r.unitCode * 10000 + r.value % 10000));
    const unsigned d = bitField(r.manualTemp ? 1 : 0, 15, 11) | bitField(r.tempTenths + 500, 10, 0);
    return frame('S', {asInt(bitField(r.mode, 15, 12) | bitField(r.decimals, 11, 10) | bitField(r.month, 9, 6)
                             | bitField(r.second, 5, 0)),
                       asInt(bitField(r.day, 15, 11) | bitField(r.hour, 10, 6) | bitField(r.minute, 5, 0)), c,
                       asInt(d)});
}

CondField conductivityField(double microSiemens)
{
    // Decade r scales the field by 10^(r - 10); pick the one that leaves at
    // most four digits, as the meter's 20/200/2000... ranges do.
    static const struct { double below; int code; } kRanges[] = {
        {20.0, 8}, {200.0, 9}, {2000.0, 10}, {20000.0, 11}, {200000.0, 12},
    };
    const double v = std::max(0.0, microSiemens);
    int code = 13;
    for (const auto &r : kRanges) {
        if (v < r.below) {
            code = r.code;
            break;
        }
    }
    const long raw = std::lround(v / std::pow(10.0, code - 10));
    return {code, static_cast<int>(std::min(raw, 32767L))};
}

std::string encodeSettings(const Settings &s)
{
    std::vector<int> f;
    f.push_back(asInt(bitField(s.family, 15, 13) | bitField(s.timerSeconds, 12, 0)));
    std::vector<int> page;
    switch (s.family) {
    case 0: page = phFields(s); break;
    case 1: page = mvFields(s); break;
    case 2: page = iseFields(s); break;
    case 3: page = condFields(s); break;
    case 4: page = doFields(s); break;
    default:
        // Families without a page still carry the temperature unit.
        page = {asInt(bitField(s.celsius ? 1 : 0, 15, 15))};
        break;
    }
    f.insert(f.end(), page.begin(), page.end());
    return frame(s.letter, f);
}

std::string encodeModel(std::string_view code)
{
    std::string out = "<M";
    out += code;
    out += '>';
    return out;
}

std::string encodeEnd()
{
    return "<E>";
}

} // namespace sim
