// The preview's state in the host's registry descriptor and scripting
// descriptor: the registry and scripting code call these inside their own
// descriptors, after the parameters.
#pragma once

#include "PIActions.h"

// Reads the twelve preview keys from a registry descriptor into pData,
// stopping at the first error and returning it (the keys read before it
// keep their new values).
OSErr proxyReadRegistry(PSActionDescriptorProcs* procs, PIActionDescriptor descriptor);
// Writes the twelve preview keys; the first failure.
OSErr proxyWriteRegistry(PSActionDescriptorProcs* procs, PIActionDescriptor descriptor);
// Writes ten preview keys into a scripting descriptor; the first failure.
OSErr proxyWriteScripting(WriteDescriptorProcs* procs, PIWriteDescriptor token);
// Reads one integer for key into its field; -19 for a key that is not a
// preview key.
OSErr proxyReadScripting(ReadDescriptorProcs* procs, PIReadDescriptor token, DescriptorKeyID key);
