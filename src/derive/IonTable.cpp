#include "derive/IonTable.h"

const std::array<IonEntry, 11> kIonTable = {{
    {"F", 19.0},
    {"Na", 22.99},
    {"Cl", 35.45},
    {"NH4", 18.05},
    {"NO3", 62.01},
    {"Cu", 63.55},
    {"K", 39.1},
    {"I", 126.9},
    {"Br", 79.9},
    {"Ca", 40.08},
    {"CUS", 0.0},   // molar mass comes from the settings frame
}};
