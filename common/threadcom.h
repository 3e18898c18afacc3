// COM for the calling thread, for as long as the object lives. A worker thread that reaches COM or
// Media Foundation objects (the extension unit of the upgrade, the system's device and volume
// interfaces) holds one for the whole of its work; a thread must not call COM before it has
// entered an apartment. Platforms without COM need nothing.
#pragma once

class ThreadComApartment {
public:
    // Enters the multithreaded apartment; a thread already in an apartment stays in it.
    ThreadComApartment();
    ~ThreadComApartment();
    ThreadComApartment(const ThreadComApartment &) = delete;
    ThreadComApartment &operator=(const ThreadComApartment &) = delete;

private:
    // This object's initialisation, to be balanced on destruction (not needed where there is no
    // COM).
    [[maybe_unused]] bool entered = false;
};
