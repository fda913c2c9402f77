#pragma once

// The restart page has no component: this unit's start-up takes the page's
// own registration away again, so that the page never shows.
void InitializeRebootDialogUnit();
