// Process-wide state of the plug-in: the host's record and result of the
// current call, and the two locked blocks.
#pragma once

#include "PIFilter.h"
#include "host/param_block.h"

extern FilterRecord* gFilterRecord;
extern intptr_t* gDataHandle;
extern int16* gResult;
extern SPBasicSuite* sSPBasic;
extern ParamBlock* gParams;
extern uint8* gData;

// The globals of one call of PluginMain: its record, data handle and result.
void storeGlobals(int16 selector, void* filterRecord, intptr_t* data, int16* result);
