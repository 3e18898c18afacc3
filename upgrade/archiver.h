// The external archiver that unpacks firmware packages (a 7-Zip console program): which program to
// start, and what has to be in place before it can start.
#pragma once

#include <string>

// Makes sure that the archiver can be started for the given application directory. Always
// succeeds; a missing archiver shows when it cannot be started.
void prepareArchiverTools(const std::string &applicationDirectory);

// The program to start: a full path, or the bare name when it cannot be found.
std::string archiverProgram(const std::string &applicationDirectory);
