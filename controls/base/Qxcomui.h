#pragma once

#include "platform/ui/geometry.h"
#include "platform/ui/messages.h"

#include <cstdint>

class TCanvas;
class TComponent;
class TCustomForm;
class TObject;

// The library's drawing and screen routines shared by its controls.

// The first form up the owner chain, or null.
TCustomForm *qxGetOwnerForm(TComponent *component);
// Tells the designer of the owner form that it was modified; forms here
// have no designer, so only the climb remains.
void qxNotifyDesignerModified(TComponent *component);
// The part of the screen windows may cover.
void qxGetWorkArea(TRect &rect);

// A raised button with three dots (state 2: pressed; a key state with its
// high bit clear draws it flat).
void qxDrawEllipsisButton(TCanvas *canvas, const TRect &rect, int state, uint16_t keyState);
// The drop-down arrow button of a combo.
void qxDrawComboArrowButton(TCanvas *canvas, const TRect &rect, bool pressed, uint16_t keyState, bool enabled);
// The rectangle's outline in the highlight colour, then the focus rectangle.
void qxDrawFocusFrame(TCanvas *canvas, const TRect &rect);

// Takes the next waiting key message out of the queue (it is lost whatever
// it was); true when it was Escape going down, and then the dataset's
// filter is switched off (ofoEnabled, by name).
bool qxEscapePressed(TObject *dataset);
// Posts the key's down and up to the window as if the modifier (VK_SHIFT,
// VK_CONTROL, ...) were held: the messages carry that keyboard state.
void qxPostKeyWithModifier(HWND window, uint16_t key, uint16_t modifier);
