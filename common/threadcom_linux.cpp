#include "common/threadcom.h"

// No COM: every thread can call the system's interfaces as it is.
ThreadComApartment::ThreadComApartment() = default;

ThreadComApartment::~ThreadComApartment() = default;
