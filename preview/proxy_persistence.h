// The preview's state in the host's registry descriptor and scripting
// descriptor: the registry and scripting code call these inside their own
// descriptors, after the parameters.
#pragma once

#include "PIActions.h"
#include "host/checked_array.h"

// The keys of the preview state in the registry and the scripting
// descriptor ('Zoom', 'Zmoh', 'Zmov', 'Zmfh', 'Zmfv', 'Zmww', 'Zmwh', 'Zmpw',
// 'Zmph'), beside the parameters' key tables; the zoom factor, the
// read-manual counter and the show-advanced byte follow them there.
enum { kProxyParamKeyCount = 9 };
extern const checked_array<DescriptorKeyID, kProxyParamKeyCount> keyProxyParams;

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
