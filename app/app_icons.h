// The program's own icons, drawn rather than shipped as files.
#pragma once

#include <QIcon>

namespace fenno {

// Rounded blue square with three level bars.
QIcon ProgramIcon();
// A small "i" in a circle for the About button.
QIcon AboutIcon();

} // namespace fenno
