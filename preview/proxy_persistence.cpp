// Until the preview keeps a state of its own there is nothing of it to store:
// the hooks read and write no key and report success.
#include "preview/proxy_persistence.h"

OSErr proxyReadRegistry(PSActionDescriptorProcs*, PIActionDescriptor) { return noErr; }
OSErr proxyWriteRegistry(PSActionDescriptorProcs*, PIActionDescriptor) { return noErr; }
OSErr proxyWriteScripting(WriteDescriptorProcs*, PIWriteDescriptor) { return noErr; }
