// Process-wide state of the plug-in: the host's record and result of the
// current call, and the two locked blocks.
#pragma once

#include "PIFilter.h"
#include "entry/params.h"

extern FilterRecord* gFilterRecord;
extern intptr_t* gDataHandle;
extern int16* gResult;
extern SPBasicSuite* sSPBasic;
extern ParamBlock* gParams;
extern uint8* gData;

void DoParameters();
void DoPrepare();
void DoContinue();
void DoFinish();
void InitData();

// The steps shared by the platform forms of PluginMain: the globals of the
// call, then (for every selector but about) the handler and the unlocking of
// the handles.
void storeGlobals(int16 selector, void* filterRecord, intptr_t* data, int16* result);
void runSelector(int16 selector);
