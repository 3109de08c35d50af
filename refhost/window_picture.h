// A schematic picture of a stand-in window for looking at a dialog: each
// shown control as a box coloured by its kind, with its state drawn in (a
// check box's mark, a slider's thumb, an edit box's text length), on the
// window's content, the default button ringed in blue, and over them the
// pictures a host displayed on the window's port and the areas erased
// there.  RGB, 8 bits, one pixel per point.
#pragma once

#include <Carbon.h>

#include "refhost/refhost.h"

namespace refhost {
Document pictureOfWindow(WindowRef window);
}
