// The product dialog of the Mac form.
#pragma once

// Runs the dialog modally; true when the user confirmed it.
bool DoUI();
