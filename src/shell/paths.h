// Joining a directory and a file name with exactly one separator between them.
#pragma once

#include <QString>

namespace qova::shell {

// "/pics" + "a.jpg" → "/pics/a.jpg"; "/" + "a.jpg" → "/a.jpg" (a root, or any
// directory already ending in a separator, is not given a second one).
QString joinPath(const QString& dir, const QString& name);

}  // namespace qova::shell
