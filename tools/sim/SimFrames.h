// Frame encoders of the meter simulator.
//
// These build the exact text a bench meter puts on the wire: "<", a type
// letter, fixed 4-digit hexadecimal fields, ">". They are written straight
// from the frame layouts and deliberately share nothing with the program's
// decoders, so that feeding the program from the simulator checks the
// decoders against a second, independent reading of the same layouts.
//
// All numbers are given in wire units (thousandths of pH, tenths of mV,
// tenths of a degree, ...): scaling real quantities is the caller's job.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sim {

// Four upper-case hex digits of the low 16 bits: signed values come out in
// two's complement (-200 -> "FF38"), packed words 0..65535 as they are.
std::string hex4(int value);

// Puts `value` into bits high..low of a 16-bit word. The value is cut to the
// width of the field first, so an out-of-range value never spills into the
// neighbouring fields.
unsigned bitField(int value, int high, int low);

// One live reading, "D" frame.
struct LiveReading {
    int mode = 1;         // measuring mode 0..15
    int decimals = 0;     // pH display decimals 0..3
    int month = 1;        // 1..12
    int day = 1;          // 1..31
    int hour = 0;         // 0..23
    int minute = 0;       // 0..59
    int second = 0;       // 0..59
    int value = 0;        // main value field, signed, in the mode's wire scale
    int rangeCode = 0;    // ion number (ISE) or conductivity decade (COND), 0..15
    bool manualTemp = false;  // MTC instead of ATC
    int tempTenths = 250;     // sample temperature, tenths of a degree Celsius
    // Dissolved-oxygen modes 13..15 only.
    int saturationTenths = 0; // tenths of a percent
    int pressureTenths = 0;   // tenths of a kPa
    int salinity = 0;         // parts per thousand
};

// True for the three dissolved-oxygen modes, whose frame carries three more fields.
bool isOxygenMode(int mode);

// The temperature word shared by every reading: range code, MTC flag and
// the temperature offset by +50.0 degrees so that it never goes negative.
unsigned temperatureWord(int rangeCode, bool manualTemp, int tempTenths);

std::string encodeLive(const LiveReading &r);

// Decade code and field value that put a conductivity in uS/cm on the wire
// with four significant digits, following the meter's display ranges.
struct CondField {
    int rangeCode;
    int raw;
};
CondField conductivityField(double microSiemens);

// Settings and calibration data, "Q" (or "P", which also starts a recording).
struct PhPage {
    bool pu1 = false;
    bool pu2 = false;
    int bufferSet = 1;        // 1 CH, 2 USA, 3 NIST, 4 user buffers
    int spareBits = 0;        // bits 9..0 of field 2, carried but unused
    int calBuffers = 0;       // sets 1..3: five buffer flags; set 4: user-buffer count
    int calMonth = 0;         // calibration date and time
    int calDay = 0;
    int calHour = 0;
    int calMinute = 0;
    int offsetHundredthsMv = 0;
    int slopeTenthsPercent = 1000;
    std::vector<int> userBuffersThousandths;  // up to three, sent as fields 7..9
};

struct MvPage {
    int urefTenthsMv = 0;     // 0..32767
};

struct IsePage {
    int ion = 1;              // 0..15
    int cal1Hundredths = 0;   // 0..2047, first calibration point in pX
    int cal2Hundredths = 0;   // signed
    int field4 = 0;           // carried but unused
    int offsetTenths = 0;
    int slopeTenths = 1000;
    int field9High = 0;       // bits 15..12 of field 9, carried but unused
    int molarMass = 0;        // g/mol of the user-defined ion, 0..4095
};

struct CondPage {
    int standardSet = 1;      // 1 CH, 2 USA
    int cellDecimals = 4;     // 0..1 one decimal, 2..3 two, 4..7 three
    int trefTenths = 250;     // 0..511
    int calStandard = 0;      // last calibration standard 1..4
    int coefHundredths = 200; // 0..1023, %/degree x 100
    int field4High = 0;       // bits 15..13 of field 4, unused
    int cellConstant = 1000;  // in units of the last shown decimal, 0..8191
};

struct DoPage {
    int resolution = 2;       // 1 "0.1mg,1%", 2 "0.01mg,0.1%"
    int spareThousandths = 0; // bits 11..0 of field 2, carried but unused
};

struct Settings {
    char letter = 'Q';
    int family = 0;           // 0 pH, 1 mV, 2 ISE, 3 COND, 4 DO
    int timerSeconds = 0;     // 0..8191, 0 = off
    bool celsius = true;
    PhPage ph;
    MvPage mv;
    IsePage ise;
    CondPage cond;
    DoPage oxygen;
};

std::string encodeSettings(const Settings &s);

// "<M" + model code + ">"; the code goes out as given (the meter sends at
// most 16 characters, but a longer one is useful to test truncation).
std::string encodeModel(std::string_view code);

std::string encodeEnd();

// One record of the meter's memory, "S" frame. The value field is packed
// by the mode: pH and potentials as a signed number; pX, conductivity and
// DO as unit code x 4096 + value (0..4095); ISE mg/L and ppm as unit
// quotient x 10000 + value (0..9999); mol/L as exponent x 1024 + mantissa.
struct StoredRecord {
    int mode = 1;
    int decimals = 0;         // decimals code 0..3 of the value
    int month = 1, day = 1, hour = 0, minute = 0, second = 0;
    int value = 0;            // the stored number, in the decimals' units
    int unitCode = 0;         // pX / COND / DO: 0..15; ISE mg, ppm: quotient 0..3
    int exponent = 0;         // mol/L: the value is value/100 x 10^-exponent
    bool manualTemp = false;
    int tempTenths = 250;
};
std::string encodeStored(const StoredRecord &r);

} // namespace sim
