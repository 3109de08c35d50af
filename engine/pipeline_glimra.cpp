// Glimra's engine over one piece of the image: the smooth-area structure.
#include "engine/smooth_area_pipeline.h"
#include "entry/filter.h"

OSErr runLiftingStructure(fl_image& in, fl_image& out) { return OSErr(smoothDetectLiftingStructure(in, out)); }
