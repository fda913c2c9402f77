#pragma once
// Not public API: what a device context is on the Qt side.

#include "platform/ui/printers.h"

class QPainter;
class QPaintDevice;

struct HDC__ {
    QPaintDevice *device = nullptr; // the device measured
    QPainter *painter = nullptr; // drawing goes here; null while nothing can be drawn
};
