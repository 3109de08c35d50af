// Scripting: the descriptor procedures of the filter record, and the
// action-descriptor, action-list, action-reference and registry suites of the
// basic suite.  Every table is complete and in the host's order: a plug-in
// reaches a procedure by its place in the table.
#pragma once

#include "PITypes.h"

typedef DescriptorKeyID DescriptorKeyIDArray[];
typedef uint32 DescriptorEnumID;
typedef uint32 DescriptorUnitID;

// A reference to one object of the host (class, form and key data); the
// products never build one.
struct PIDescriptorSimpleReference;

typedef PIReadDescriptor(MACPASCAL* OpenReadDescriptorProc)(PIDescriptorHandle descriptor,
                                                            DescriptorKeyIDArray keys);
typedef OSErr(MACPASCAL* CloseReadDescriptorProc)(PIReadDescriptor token);
typedef Boolean(MACPASCAL* GetKeyProc)(PIReadDescriptor token, DescriptorKeyID* key, DescriptorTypeID* type,
                                       int32* flags);
typedef OSErr(MACPASCAL* GetIntegerProc)(PIReadDescriptor token, int32* value);
typedef OSErr(MACPASCAL* GetFloatProc)(PIReadDescriptor token, double* value);
typedef OSErr(MACPASCAL* GetUnitFloatProc)(PIReadDescriptor token, DescriptorUnitID* unit, double* value);
typedef OSErr(MACPASCAL* GetBooleanProc)(PIReadDescriptor token, Boolean* value);
typedef OSErr(MACPASCAL* GetTextProc)(PIReadDescriptor token, Handle* text);
typedef OSErr(MACPASCAL* GetAliasProc)(PIReadDescriptor token, Handle* alias);
typedef OSErr(MACPASCAL* GetEnumeratedProc)(PIReadDescriptor token, DescriptorEnumID* value);
typedef OSErr(MACPASCAL* GetClassProc)(PIReadDescriptor token, DescriptorTypeID* value);
typedef OSErr(MACPASCAL* GetSimpleReferenceProc)(PIReadDescriptor token, PIDescriptorSimpleReference* ref);
typedef OSErr(MACPASCAL* GetObjectProc)(PIReadDescriptor token, DescriptorTypeID* type, PIDescriptorHandle* object);
typedef OSErr(MACPASCAL* GetCountProc)(PIReadDescriptor token, uint32* count);
typedef OSErr(MACPASCAL* GetStringProc)(PIReadDescriptor token, unsigned char* pstring);
typedef OSErr(MACPASCAL* GetPinnedIntegerProc)(PIReadDescriptor token, int32 min, int32 max, int32* value);
typedef OSErr(MACPASCAL* GetPinnedFloatProc)(PIReadDescriptor token, const double* min, const double* max,
                                             double* value);
typedef OSErr(MACPASCAL* GetPinnedUnitFloatProc)(PIReadDescriptor token, const double* min, const double* max,
                                                 DescriptorUnitID* unit, double* value);

struct ReadDescriptorProcs {
    int16 readDescriptorProcsVersion;
    int16 numReadDescriptorProcs;
    OpenReadDescriptorProc openReadDescriptorProc;
    CloseReadDescriptorProc closeReadDescriptorProc;
    GetKeyProc getKeyProc;
    GetIntegerProc getIntegerProc;
    GetFloatProc getFloatProc;
    GetUnitFloatProc getUnitFloatProc;
    GetBooleanProc getBooleanProc;
    GetTextProc getTextProc;
    GetAliasProc getAliasProc;
    GetEnumeratedProc getEnumeratedProc;
    GetClassProc getClassProc;
    GetSimpleReferenceProc getSimpleReferenceProc;
    GetObjectProc getObjectProc;
    GetCountProc getCountProc;
    GetStringProc getStringProc;
    GetPinnedIntegerProc getPinnedIntegerProc;
    GetPinnedFloatProc getPinnedFloatProc;
    GetPinnedUnitFloatProc getPinnedUnitFloatProc;
};
enum { kCurrentReadDescriptorProcsVersion = 0, kCurrentReadDescriptorProcsCount = 18 };

typedef PIWriteDescriptor(MACPASCAL* OpenWriteDescriptorProc)();
typedef OSErr(MACPASCAL* CloseWriteDescriptorProc)(PIWriteDescriptor token, PIDescriptorHandle* newDescriptor);
typedef OSErr(MACPASCAL* PutIntegerProc)(PIWriteDescriptor token, DescriptorKeyID key, int32 value);
typedef OSErr(MACPASCAL* PutFloatProc)(PIWriteDescriptor token, DescriptorKeyID key, const double* value);
typedef OSErr(MACPASCAL* PutUnitFloatProc)(PIWriteDescriptor token, DescriptorKeyID key, DescriptorUnitID unit,
                                           const double* value);
typedef OSErr(MACPASCAL* PutBooleanProc)(PIWriteDescriptor token, DescriptorKeyID key, Boolean value);
typedef OSErr(MACPASCAL* PutTextProc)(PIWriteDescriptor token, DescriptorKeyID key, Handle text);
typedef OSErr(MACPASCAL* PutAliasProc)(PIWriteDescriptor token, DescriptorKeyID key, Handle alias);
typedef OSErr(MACPASCAL* PutEnumeratedProc)(PIWriteDescriptor token, DescriptorKeyID key, DescriptorTypeID type,
                                            DescriptorEnumID value);
typedef OSErr(MACPASCAL* PutClassProc)(PIWriteDescriptor token, DescriptorKeyID key, DescriptorTypeID value);
typedef OSErr(MACPASCAL* PutSimpleReferenceProc)(PIWriteDescriptor token, DescriptorKeyID key,
                                                 const PIDescriptorSimpleReference* ref);
typedef OSErr(MACPASCAL* PutObjectProc)(PIWriteDescriptor token, DescriptorKeyID key, DescriptorTypeID type,
                                        PIDescriptorHandle object);
typedef OSErr(MACPASCAL* PutCountProc)(PIWriteDescriptor token, DescriptorKeyID key, uint32 count);
typedef OSErr(MACPASCAL* PutStringProc)(PIWriteDescriptor token, DescriptorKeyID key, const unsigned char* pstring);
typedef OSErr(MACPASCAL* PutScopedClassProc)(PIWriteDescriptor token, DescriptorKeyID key, DescriptorTypeID value);
typedef OSErr(MACPASCAL* PutScopedObjectProc)(PIWriteDescriptor token, DescriptorKeyID key, DescriptorTypeID type,
                                              PIDescriptorHandle object);

struct WriteDescriptorProcs {
    int16 writeDescriptorProcsVersion;
    int16 numWriteDescriptorProcs;
    OpenWriteDescriptorProc openWriteDescriptorProc;
    CloseWriteDescriptorProc closeWriteDescriptorProc;
    PutIntegerProc putIntegerProc;
    PutFloatProc putFloatProc;
    PutUnitFloatProc putUnitFloatProc;
    PutBooleanProc putBooleanProc;
    PutTextProc putTextProc;
    PutAliasProc putAliasProc;
    PutEnumeratedProc putEnumeratedProc;
    PutClassProc putClassProc;
    PutSimpleReferenceProc putSimpleReferenceProc;
    PutObjectProc putObjectProc;
    PutCountProc putCountProc;
    PutStringProc putStringProc;
    PutScopedClassProc putScopedClassProc;
    PutScopedObjectProc putScopedObjectProc;
};
enum { kCurrentWriteDescriptorProcsVersion = 0, kCurrentWriteDescriptorProcsCount = 16 };

struct PIDescriptorParameters {
    int16 descriptorParametersVersion;
    int16 playInfo;
    int16 recordInfo;
    PIDescriptorHandle descriptor;
    WriteDescriptorProcs* writeDescriptorProcs;
    ReadDescriptorProcs* readDescriptorProcs;
};
enum { kCurrentDescriptorParametersVersion = 0 };

// Action-descriptor suite.
#define kPSActionDescriptorSuite "df135115-c769-11d0-8079-00c04fd7ec47"
enum { kPSActionDescriptorSuiteVersion = 2 };

struct PSActionDescriptorProcs {
    SPErr(SPAPI* Make)(PIActionDescriptor* descriptor);
    SPErr(SPAPI* Free)(PIActionDescriptor descriptor);
    SPErr(SPAPI* GetType)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorTypeID* type);
    SPErr(SPAPI* GetKey)(PIActionDescriptor descriptor, uint32 index, DescriptorKeyID* key);
    SPErr(SPAPI* HasKey)(PIActionDescriptor descriptor, DescriptorKeyID key, Boolean* hasKey);
    SPErr(SPAPI* GetCount)(PIActionDescriptor descriptor, uint32* count);
    SPErr(SPAPI* IsEqual)(PIActionDescriptor descriptor, PIActionDescriptor other, Boolean* isEqual);
    SPErr(SPAPI* Erase)(PIActionDescriptor descriptor, DescriptorKeyID key);
    SPErr(SPAPI* Clear)(PIActionDescriptor descriptor);

    SPErr(SPAPI* PutInteger)(PIActionDescriptor descriptor, DescriptorKeyID key, int32 value);
    SPErr(SPAPI* PutFloat)(PIActionDescriptor descriptor, DescriptorKeyID key, double value);
    SPErr(SPAPI* PutUnitFloat)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorUnitID unit,
                               double value);
    SPErr(SPAPI* PutString)(PIActionDescriptor descriptor, DescriptorKeyID key, const char* cstr);
    SPErr(SPAPI* PutBoolean)(PIActionDescriptor descriptor, DescriptorKeyID key, Boolean value);
    SPErr(SPAPI* PutList)(PIActionDescriptor descriptor, DescriptorKeyID key, PIActionList value);
    SPErr(SPAPI* PutObject)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorTypeID type,
                            PIActionDescriptor value);
    SPErr(SPAPI* PutGlobalObject)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorTypeID type,
                                  PIActionDescriptor value);
    SPErr(SPAPI* PutEnumerated)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorTypeID type,
                                DescriptorEnumID value);
    SPErr(SPAPI* PutReference)(PIActionDescriptor descriptor, DescriptorKeyID key, PIActionReference value);
    SPErr(SPAPI* PutClass)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorTypeID value);
    SPErr(SPAPI* PutGlobalClass)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorTypeID value);
    SPErr(SPAPI* PutAlias)(PIActionDescriptor descriptor, DescriptorKeyID key, Handle value);

    SPErr(SPAPI* GetInteger)(PIActionDescriptor descriptor, DescriptorKeyID key, int32* value);
    SPErr(SPAPI* GetFloat)(PIActionDescriptor descriptor, DescriptorKeyID key, double* value);
    SPErr(SPAPI* GetUnitFloat)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorUnitID* unit,
                               double* value);
    SPErr(SPAPI* GetStringLength)(PIActionDescriptor descriptor, DescriptorKeyID key, uint32* length);
    SPErr(SPAPI* GetString)(PIActionDescriptor descriptor, DescriptorKeyID key, char* cstr, uint32 maxLength);
    SPErr(SPAPI* GetBoolean)(PIActionDescriptor descriptor, DescriptorKeyID key, Boolean* value);
    SPErr(SPAPI* GetList)(PIActionDescriptor descriptor, DescriptorKeyID key, PIActionList* value);
    SPErr(SPAPI* GetObject)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorTypeID* type,
                            PIActionDescriptor* value);
    SPErr(SPAPI* GetGlobalObject)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorTypeID* type,
                                  PIActionDescriptor* value);
    SPErr(SPAPI* GetEnumerated)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorTypeID* type,
                                DescriptorEnumID* value);
    SPErr(SPAPI* GetReference)(PIActionDescriptor descriptor, DescriptorKeyID key, PIActionReference* value);
    SPErr(SPAPI* GetClass)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorTypeID* value);
    SPErr(SPAPI* GetGlobalClass)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorTypeID* value);
    SPErr(SPAPI* GetAlias)(PIActionDescriptor descriptor, DescriptorKeyID key, Handle* value);

    SPErr(SPAPI* HasKeys)(PIActionDescriptor descriptor, DescriptorKeyID* requiredKeys, Boolean* hasKeys);
    SPErr(SPAPI* PutIntegers)(PIActionDescriptor descriptor, DescriptorKeyID key, uint32 count,
                              const int32* values);
    SPErr(SPAPI* GetIntegers)(PIActionDescriptor descriptor, DescriptorKeyID key, uint32 count, int32* values);
    SPErr(SPAPI* AsHandle)(PIActionDescriptor descriptor, PIDescriptorHandle* value);
    SPErr(SPAPI* HandleToDescriptor)(PIDescriptorHandle value, PIActionDescriptor* descriptor);
    SPErr(SPAPI* PutZString)(PIActionDescriptor descriptor, DescriptorKeyID key, ASZString zstring);
    SPErr(SPAPI* GetZString)(PIActionDescriptor descriptor, DescriptorKeyID key, ASZString* zstring);
    SPErr(SPAPI* PutData)(PIActionDescriptor descriptor, DescriptorKeyID key, int32 length, void* data);
    SPErr(SPAPI* GetDataLength)(PIActionDescriptor descriptor, DescriptorKeyID key, int32* length);
    SPErr(SPAPI* GetData)(PIActionDescriptor descriptor, DescriptorKeyID key, void* data);
};

// Action-list suite.
#define kPSActionListSuite "df135116-c769-11d0-8079-00c04fd7ec47"
enum { kPSActionListSuiteVersion = 1 };

struct PSActionListProcs {
    SPErr(SPAPI* Make)(PIActionList* list);
    SPErr(SPAPI* Free)(PIActionList list);
    SPErr(SPAPI* GetType)(PIActionList list, uint32 index, DescriptorTypeID* type);
    SPErr(SPAPI* GetCount)(PIActionList list, uint32* count);

    SPErr(SPAPI* PutInteger)(PIActionList list, int32 value);
    SPErr(SPAPI* PutFloat)(PIActionList list, double value);
    SPErr(SPAPI* PutUnitFloat)(PIActionList list, DescriptorUnitID unit, double value);
    SPErr(SPAPI* PutString)(PIActionList list, const char* cstr);
    SPErr(SPAPI* PutBoolean)(PIActionList list, Boolean value);
    SPErr(SPAPI* PutList)(PIActionList list, PIActionList value);
    SPErr(SPAPI* PutObject)(PIActionList list, DescriptorTypeID type, PIActionDescriptor value);
    SPErr(SPAPI* PutGlobalObject)(PIActionList list, DescriptorTypeID type, PIActionDescriptor value);
    SPErr(SPAPI* PutEnumerated)(PIActionList list, DescriptorTypeID type, DescriptorEnumID value);
    SPErr(SPAPI* PutReference)(PIActionList list, PIActionReference value);
    SPErr(SPAPI* PutClass)(PIActionList list, DescriptorTypeID value);
    SPErr(SPAPI* PutGlobalClass)(PIActionList list, DescriptorTypeID value);
    SPErr(SPAPI* PutAlias)(PIActionList list, Handle value);

    SPErr(SPAPI* GetInteger)(PIActionList list, uint32 index, int32* value);
    SPErr(SPAPI* GetFloat)(PIActionList list, uint32 index, double* value);
    SPErr(SPAPI* GetUnitFloat)(PIActionList list, uint32 index, DescriptorUnitID* unit, double* value);
    SPErr(SPAPI* GetStringLength)(PIActionList list, uint32 index, uint32* length);
    SPErr(SPAPI* GetString)(PIActionList list, uint32 index, char* cstr, uint32 maxLength);
    SPErr(SPAPI* GetBoolean)(PIActionList list, uint32 index, Boolean* value);
    SPErr(SPAPI* GetList)(PIActionList list, uint32 index, PIActionList* value);
    SPErr(SPAPI* GetObject)(PIActionList list, uint32 index, DescriptorTypeID* type, PIActionDescriptor* value);
    SPErr(SPAPI* GetGlobalObject)(PIActionList list, uint32 index, DescriptorTypeID* type,
                                  PIActionDescriptor* value);
    SPErr(SPAPI* GetEnumerated)(PIActionList list, uint32 index, DescriptorTypeID* type, DescriptorEnumID* value);
    SPErr(SPAPI* GetReference)(PIActionList list, uint32 index, PIActionReference* value);
    SPErr(SPAPI* GetClass)(PIActionList list, uint32 index, DescriptorTypeID* value);
    SPErr(SPAPI* GetGlobalClass)(PIActionList list, uint32 index, DescriptorTypeID* value);
    SPErr(SPAPI* GetAlias)(PIActionList list, uint32 index, Handle* value);

    SPErr(SPAPI* PutIntegers)(PIActionList list, uint32 count, const int32* values);
    SPErr(SPAPI* GetIntegers)(PIActionList list, uint32 count, int32* values);
    SPErr(SPAPI* PutData)(PIActionList list, int32 length, void* data);
    SPErr(SPAPI* GetDataLength)(PIActionList list, uint32 index, int32* length);
    SPErr(SPAPI* GetData)(PIActionList list, uint32 index, void* data);
    SPErr(SPAPI* PutZString)(PIActionList list, ASZString zstring);
    SPErr(SPAPI* GetZString)(PIActionList list, uint32 index, ASZString* zstring);
};

// Action-reference suite.  Hosts differ in the versions they offer: the
// version-2 table is the one below.
#define kPSActionReferenceSuite "df135117-c769-11d0-8079-00c04fd7ec47"
enum { kPSActionReferenceSuiteVersion2 = 2, kPSActionReferenceSuiteVersion = 3 };

struct PSActionReferenceProcs {
    SPErr(SPAPI* Make)(PIActionReference* reference);
    SPErr(SPAPI* Free)(PIActionReference reference);
    SPErr(SPAPI* GetForm)(PIActionReference reference, DescriptorEnumID* form);
    SPErr(SPAPI* GetDesiredClass)(PIActionReference reference, DescriptorTypeID* desiredClass);
    SPErr(SPAPI* PutName)(PIActionReference reference, DescriptorTypeID desiredClass, const char* cstr);
    SPErr(SPAPI* PutIndex)(PIActionReference reference, DescriptorTypeID desiredClass, uint32 value);
    SPErr(SPAPI* PutIdentifier)(PIActionReference reference, DescriptorTypeID desiredClass, uint32 value);
    SPErr(SPAPI* PutOffset)(PIActionReference reference, DescriptorTypeID desiredClass, int32 value);
    SPErr(SPAPI* PutEnumerated)(PIActionReference reference, DescriptorTypeID desiredClass, DescriptorTypeID type,
                                DescriptorEnumID value);
    SPErr(SPAPI* PutProperty)(PIActionReference reference, DescriptorTypeID desiredClass, DescriptorKeyID value);
    SPErr(SPAPI* PutClass)(PIActionReference reference, DescriptorTypeID desiredClass);
    SPErr(SPAPI* GetNameLength)(PIActionReference reference, uint32* length);
    SPErr(SPAPI* GetName)(PIActionReference reference, char* name, uint32 maxLength);
    SPErr(SPAPI* GetIndex)(PIActionReference reference, uint32* value);
    SPErr(SPAPI* GetIdentifier)(PIActionReference reference, uint32* value);
    SPErr(SPAPI* GetOffset)(PIActionReference reference, int32* value);
    SPErr(SPAPI* GetEnumerated)(PIActionReference reference, DescriptorTypeID* type, DescriptorEnumID* value);
    SPErr(SPAPI* GetProperty)(PIActionReference reference, DescriptorKeyID* value);
    SPErr(SPAPI* GetContainer)(PIActionReference reference, PIActionReference* value);
};

// Action-control suite: asked for by name only; its table is not used here.
#define kPSActionControlSuite "bc1e4d70-f953-11d0-8d9f-00c04fd5f7ee"
enum { kPSActionControlSuiteVersion = 2 };

// Registry suite: descriptors kept by the host under string keys.
#define kPSRegistrySuite "61e608b0-40fd-11d1-8da3-00c04fd5f7ee"
enum { kPSRegistrySuiteVersion1 = 1 };

struct PSDescriptorRegistryProcs {
    SPErr(SPAPI* Register)(const char* key, PIActionDescriptor descriptor, Boolean isPersistent);
    SPErr(SPAPI* Erase)(const char* key);
    SPErr(SPAPI* Get)(const char* key, PIActionDescriptor* descriptor);
};
