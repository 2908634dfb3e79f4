#pragma once
#include <ctime>
#include <cstdio>
namespace vantrel {
inline double phaseNow() { timespec t; clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t); return t.tv_sec + t.tv_nsec * 1e-9; }
struct PhaseTotals { double t[8] = {}; ~PhaseTotals() { std::fprintf(stderr, "phases conv %.3f defconv %.3f shadow %.3f first %.3f between %.3f second %.3f key %.3f\n", t[0], t[1], t[2], t[3], t[4], t[5], t[6]); } };
inline PhaseTotals gPhases;
}
