// The sixteen suite holders.  They are linked into every module, which
// releases what they hold when it is unloaded, in the reverse order of
// this list.
#include "host/suites.h"

AutoSuite<PSActionDescriptorProcs> sPSActionDescriptor(kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersion);
AutoSuite<PSActionControlProcs> sPSActionControl(kPSActionControlSuite, kPSActionControlSuiteVersion);
AutoSuite<PSActionReferenceProcs> sPSActionReference(kPSActionReferenceSuite, kPSActionReferenceSuiteVersion);
AutoSuite<PSActionListProcs> sPSActionList(kPSActionListSuite, kPSActionListSuiteVersion);
AutoSuite<PSDescriptorRegistryProcs> sPSRegistry(kPSRegistrySuite, kPSRegistrySuiteVersion1);
AutoSuite<PSUIHooksSuite1> sPSUIHooks(kPSUIHooksSuite, kPSUIHooksSuiteVersion1);
AutoSuite<PSHandleSuite2> sPSHandle(kPSHandleSuite, kPSHandleSuiteVersion2);
AutoSuite<ASZStringSuite1> sASZString(kASZStringSuite, kASZStringSuiteVersion1);
AutoSuite<SPAccessSuite> sSPAccess(kSPAccessSuite, kSPAccessSuiteVersion);
AutoSuite<PSGetFileListSuite> sPSFileList(kPSGetFileListSuite, kPSGetFileListSuiteVersion);
AutoSuite<PSBufferSuite1> sPSBuffer(kPSBufferSuite, kPSBufferSuiteVersion1);
AutoSuite<PSChannelPortsSuite> sPSChannelProcs(kPSChannelPortsSuite, kPSChannelPortsSuiteVersion);
AutoSuite<SPRuntimeSuite> sSPRuntime(kSPRuntimeSuite, kSPRuntimeSuiteVersion);
AutoSuite<PropertyProcs> sPSProperty(kPSPropertySuite, kPSPropertySuiteVersion1);
AutoSuite<PSAliasSuite> sPSAlias(kPSAliasSuite, kPSAliasSuiteVersion);
AutoSuite<ResourceProcs> sPSResource(kPSResourceSuite, kPSResourceSuiteVersion3);

void PIUSuitesRelease() {
    sPSActionDescriptor.release();
    sPSActionControl.release();
    sPSActionReference.release();
    sPSActionList.release();
    sPSRegistry.release();
    sPSHandle.release();
    sPSUIHooks.release();
    sASZString.release();
    sSPAccess.release();
    sPSFileList.release();
    sPSBuffer.release();
    sPSChannelProcs.release();
    sSPRuntime.release();
    sPSProperty.release();
    sPSAlias.release();
    sPSResource.release();
}
