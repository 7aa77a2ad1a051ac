// What both basic configuration dialogs do with the result of their checks:
// write back the reformatted date and time texts and, on a failure, show the
// message, undo the failing box's last edit when asked and focus it.
#pragma once

#include <windows.h>

#include "dialogs/rules/basic_config_rules.h"

// The control of a box named by the checks (0 for none).
int ConfigBoxId(rules::ConfigBox box);

// Returns whether the checks passed.
bool ApplyValidation(HWND dialog, const rules::ConfigValidation& v);
