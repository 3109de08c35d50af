// The parameters in the host's scripting descriptor and registry.
#pragma once

#include "PITypes.h"
#include "SPBasic.h"

OSErr ReadScriptParameters(unsigned char* showDialog);
OSErr WriteScriptParameters();
OSErr ReadRegistryParameters();
OSErr WriteRegistryParameters();

// A suite error is 32 bits wide; one that does not fit the 16-bit result
// (the basic suite's own codes do not) must not read as success or as some
// unrelated code once cut.
OSErr toOSErr(SPErr err);
