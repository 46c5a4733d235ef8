#pragma once
// LiveriesScanned.xml: the result of the last liveries scan, written at its
// end and read at every start instead of a new scan. Beside the meta block it
// holds "liveries" with one "liv" (airl, type, cargo, title, atcid) per
// record, sorted by airline, type and title.
namespace skh {

// Writes g_liveries (nothing when it is empty) through a temporary file.
void lf_writeLiveriesScanned();
// Replaces g_liveries with the file's records, sorted. Throws
// UserErrorException 51 (not loadable), 52 (no "liveries"), 999 (a "liv"
// without airl, type or title) or 533 (no usable record).
void lf_readLiveriesScanned();

}  // namespace skh
