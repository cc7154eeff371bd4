// The setting of the Unix trash in which the sweep tests run (see SweepWineMain.cpp).
#pragma once

#include "WineMachine.h"

// The trash that deleted items must land in, or NULL when this run has none and Wine's shell
// deletes for good.
const wine_machine::Trash* TheTrash();
