// The host's basic suite, through which every other suite is acquired.
#pragma once

#include "PITypes.h"

struct SPBasicSuite {
    SPErr(SPAPI* AcquireSuite)(const char* name, int32 version, const void** suite);
    SPErr(SPAPI* ReleaseSuite)(const char* name, int32 version);
    ASBoolean(SPAPI* IsEqual)(const char* token1, const char* token2);
    SPErr(SPAPI* AllocateBlock)(int32 size, void** block);
    SPErr(SPAPI* FreeBlock)(void* block);
    SPErr(SPAPI* ReallocateBlock)(void* block, int32 newSize, void** newblock);
    SPErr(SPAPI* Undefined)();
};
