// The preview's state in the host's registry descriptor and scripting
// descriptor: the registry and scripting code call these inside their own
// descriptors, after the parameters.
#pragma once

#include "PIActions.h"

// Reads the preview keys from a registry descriptor; the first error.
OSErr proxyReadRegistry(PSActionDescriptorProcs* procs, PIActionDescriptor descriptor);
// Writes the preview keys into a registry descriptor; the last write's result.
OSErr proxyWriteRegistry(PSActionDescriptorProcs* procs, PIActionDescriptor descriptor);
// Writes the preview keys into a scripting descriptor; the last write's result.
OSErr proxyWriteScripting(WriteDescriptorProcs* procs, PIWriteDescriptor token);
