// Automatic profiling: the image's noise measured from block statistics and
// turned into the noise parameters.
#pragma once

void autoProfile(const double& preset);
void autoProfileWithGUIhandling(unsigned char& done);
