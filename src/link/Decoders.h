#pragma once

class MainCore;

// One decoder per frame type. Each reads the frame content from RxBuffer by
// position (position 1 is the type letter) and writes the program-wide state
// and the controls' data.
void DecodeModelFrame(MainCore &f);     // "M"
void DecodeEndFrame(MainCore &f);       // "E"
void DecodeSettingsFrame(MainCore &f);  // "Q" and "P"
void DecodeLiveReading(MainCore &f);    // "D"
void DecodeStoredRecord(MainCore &f);   // "S"
