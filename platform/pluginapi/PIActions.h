// Scripting: the descriptor procedures of the filter record and the
// action-descriptor suite of the basic suite.
#pragma once

#include "PITypes.h"

typedef DescriptorKeyID DescriptorKeyIDArray[];

typedef PIReadDescriptor(MACPASCAL* OpenReadDescriptorProc)(PIDescriptorHandle descriptor,
                                                            DescriptorKeyIDArray keys);
typedef OSErr(MACPASCAL* CloseReadDescriptorProc)(PIReadDescriptor token);
typedef Boolean(MACPASCAL* GetKeyProc)(PIReadDescriptor token, DescriptorKeyID* key, DescriptorTypeID* type,
                                       int32* flags);
typedef OSErr(MACPASCAL* GetIntegerProc)(PIReadDescriptor token, int32* value);
typedef OSErr(MACPASCAL* GetFloatProc)(PIReadDescriptor token, double* value);
typedef OSErr(MACPASCAL* GetBooleanProc)(PIReadDescriptor token, Boolean* value);

struct ReadDescriptorProcs {
    int16 readDescriptorProcsVersion;
    int16 numReadDescriptorProcs;
    OpenReadDescriptorProc openReadDescriptorProc;
    CloseReadDescriptorProc closeReadDescriptorProc;
    GetKeyProc getKeyProc;
    GetIntegerProc getIntegerProc;
    GetFloatProc getFloatProc;
    GetBooleanProc getBooleanProc;
};

typedef PIWriteDescriptor(MACPASCAL* OpenWriteDescriptorProc)();
typedef OSErr(MACPASCAL* CloseWriteDescriptorProc)(PIWriteDescriptor token, PIDescriptorHandle* newDescriptor);
typedef OSErr(MACPASCAL* PutIntegerProc)(PIWriteDescriptor token, DescriptorKeyID key, int32 value);
typedef OSErr(MACPASCAL* PutFloatProc)(PIWriteDescriptor token, DescriptorKeyID key, const double* value);
typedef OSErr(MACPASCAL* PutBooleanProc)(PIWriteDescriptor token, DescriptorKeyID key, Boolean value);

struct WriteDescriptorProcs {
    int16 writeDescriptorProcsVersion;
    int16 numWriteDescriptorProcs;
    OpenWriteDescriptorProc openWriteDescriptorProc;
    CloseWriteDescriptorProc closeWriteDescriptorProc;
    PutIntegerProc putIntegerProc;
    PutFloatProc putFloatProc;
    PutBooleanProc putBooleanProc;
};

struct PIDescriptorParameters {
    int16 descriptorParametersVersion;
    int16 playInfo;
    int16 recordInfo;
    PIDescriptorHandle descriptor;
    WriteDescriptorProcs* writeDescriptorProcs;
    ReadDescriptorProcs* readDescriptorProcs;
};

// Action-descriptor suite.
#define kPSActionDescriptorSuite "df135115-c769-11d0-8079-00c04fd7ec47"
enum { kPSActionDescriptorSuiteVersion = 2 };

struct PSActionDescriptorProcs {
    SPErr(SPAPI* Make)(PIActionDescriptor* descriptor);
    SPErr(SPAPI* Free)(PIActionDescriptor descriptor);
    SPErr(SPAPI* HasKey)(PIActionDescriptor descriptor, DescriptorKeyID key, Boolean* hasKey);
    SPErr(SPAPI* GetCount)(PIActionDescriptor descriptor, uint32* count);
    SPErr(SPAPI* PutInteger)(PIActionDescriptor descriptor, DescriptorKeyID key, int32 value);
    SPErr(SPAPI* PutFloat)(PIActionDescriptor descriptor, DescriptorKeyID key, double value);
    SPErr(SPAPI* PutBoolean)(PIActionDescriptor descriptor, DescriptorKeyID key, Boolean value);
    SPErr(SPAPI* GetInteger)(PIActionDescriptor descriptor, DescriptorKeyID key, int32* value);
    SPErr(SPAPI* GetFloat)(PIActionDescriptor descriptor, DescriptorKeyID key, double* value);
    SPErr(SPAPI* GetBoolean)(PIActionDescriptor descriptor, DescriptorKeyID key, Boolean* value);
};

// Registry suite: descriptors kept by the host under string keys.
#define kPSRegistrySuite "61e608b0-40fd-11d1-8da3-00c04fd5f7ee"
enum { kPSRegistrySuiteVersion1 = 1 };

struct PSDescriptorRegistryProcs {
    SPErr(SPAPI* Register)(const char* key, PIActionDescriptor descriptor, Boolean isPersistent);
    SPErr(SPAPI* Erase)(const char* key);
    SPErr(SPAPI* Get)(const char* key, PIActionDescriptor* descriptor);
};
