// The start selector and the full-image pass.
#pragma once

void DoStart();
void DoAbout(const char* title);
