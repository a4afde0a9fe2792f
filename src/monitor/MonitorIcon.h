#pragma once

#include <QIcon>

// The monitor window's icon, drawn at 16 and 32 pixels.
QIcon monitorIcon();
