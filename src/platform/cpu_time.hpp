#pragma once
// Processor time used, for measurements.
namespace skh::platform {

double processCpuSeconds();  // every thread of the process
double threadCpuSeconds();   // the calling thread

}  // namespace skh::platform
