#pragma once

#include "platform/ui/geometry.h"

#include <cstdint>
#include <string>

class TCanvas;

// Drawing routines shared by the library's edit and grid.

// Flags of qxDrawCellText.
inline constexpr uint32_t qxdcPrefix = 1; // '&' marks an accelerator
inline constexpr uint32_t qxdcEllipsis = 2; // end ellipsis, never wrapped
inline constexpr uint32_t qxdcWordWrap = 4; // wrapped unless one line fills the cell
inline constexpr uint32_t qxdcKeepBackground = 8;

// Alignment of qxDrawCellText: 0 left, 1 right, 2 centre.

// Whether one line of text in the canvas font, with the DrawText format, is
// as high as the rectangle (counting two border pixels and 3 of spacing).
bool qxIsSingleLineRect(TCanvas *canvas, const TRect &rect, uint32_t format);

// Fills the cell with the canvas brush and draws text into it in the canvas
// font, dx and dy in from its left and top edges.
void qxDrawCellText(TCanvas *canvas, const TRect &rect, int dx, int dy, const std::string &text,
    int alignment, uint32_t flags);
