// What the preview asks of the dialog that shows it: the rectangle the
// overview image occupies in its pane, and an update of the preview.  Each
// platform's dialog installs its hooks while it is open; without hooks the
// overview is empty and an update does nothing.
#pragma once

#include "PIFilter.h"

struct previewDialogHooks {
    // Sets the overview's size in pData (fitOverviewIntoPane does) and
    // returns where the overview lies in its pane.
    VRect (*getOverviewUsedVRect)();
    // Repaints the preview, recomputing it first when asked.
    void (*updateProxy)(bool recompute);
};

// hooks must outlive their installation; null removes them.
void setPreviewDialogHooks(const previewDialogHooks* hooks);

VRect getOverviewUsedVRect();
void crossPlatformUpdateProxy();

// The aspect fit of the filter rectangle into a pane of the given size,
// centred in it: sets the overview's size in pData and returns the
// rectangle in pane coordinates.
VRect fitOverviewIntoPane(int32 paneWidth, int32 paneHeight);
