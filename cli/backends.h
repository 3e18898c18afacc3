// The device back ends of one build of the program: the system's (cameracontrol-cli, in
// backends_native.cpp) or the simulated cameras (cameracontrol-cli-sim, in backends_sim.cpp, for
// the tests). They stay installed for as long as the returned object lives.
#pragma once

#include <QString>

#include <memory>

class CliBackends {
public:
    virtual ~CliBackends() = default;
};

// For the given command (watch runs in real time). Null, with the reason in `error`, when they
// cannot be installed.
std::unique_ptr<CliBackends> installCliBackends(const QString &command, QString &error);
