#pragma once

#include <string_view>

// The calculator's icon: the bytes of a PNG image.
std::string_view TabuloIconBytes();
