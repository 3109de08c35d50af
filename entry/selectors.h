// The handlers of the selectors that need no pass over the image, and the
// step of PluginMain after the globals are stored: (for every selector but
// about) the handler and the unlocking of the handles.
#pragma once

#include "PITypes.h"

void DoParameters();
void DoPrepare();
void DoContinue();
void DoFinish();
void InitData();

void runSelector(int16 selector);
