// The parameters in the host's scripting descriptor and registry.
#pragma once

#include "PITypes.h"

OSErr ReadScriptParameters(unsigned char* showDialog);
OSErr WriteScriptParameters();
OSErr ReadRegistryParameters();
OSErr WriteRegistryParameters();
