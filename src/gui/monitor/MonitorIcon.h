#pragma once

#include <QIcon>

// The program's icon (a stack of servers with green lights), the same PNGs
// that the desktop's icon theme gets, from 16 to 256 pixels.
QIcon monitorIcon();
