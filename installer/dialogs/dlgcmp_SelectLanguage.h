#pragma once

// The language page's component unit: it has no component; its start-up
// takes the page's own registration away, so the page does not show.
void InitializeSelectLanguageDialogUnit();
