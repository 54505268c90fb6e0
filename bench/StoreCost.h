#pragma once

// What the recordings store costs a log, each figure from a process of its
// own (a new store in a scratch folder):
//   --store ROWS   the readings fed one a receive tick, as a meter sends
//                  them, with the store and without; prints
//                  "us-per-row-with us-per-row-without bytes-on-disk-per-row"
//   --burst ROWS   a memory download's worth arriving at once, a hundred
//                  readings a receive tick; prints "rows-per-second worst-tick-ms"
int storeChild(long rows);
int burstChild(long rows);
