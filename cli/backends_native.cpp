#include "cli/backends.h"

#include "app/nativebackends.h"

std::unique_ptr<CliBackends> installCliBackends(const QString &, QString &) {
    installNativeBackends();
    return std::make_unique<CliBackends>();
}
