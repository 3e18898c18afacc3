// What the window tells the user of a refused firmware package.
#pragma once

#include "upgrade/packagesequence.h"

#include <QString>

// "<h3>Unable to upgrade now.</h3>\r\n..." for a refused package, translated; empty for the
// verdicts that refuse nothing.
QString packageRefusalText(PackageVerdict verdict);
