// The start selector and the full-image pass.
#pragma once

#include "PITypes.h"

void DoStart();
void DoFilter();
void DoAbout(const char* title);

// The platform's modal filter dialog; true when the user chose OK.
bool showFilterDialog();
