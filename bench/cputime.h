// CPU time consumed so far, for the benchmarks' per-frame and per-run figures.
#pragma once

// CPU time (user and system) of the calling thread, in milliseconds.
double threadCpuMs();
// CPU time (user and system) of the whole process, in milliseconds.
double processCpuMs();
