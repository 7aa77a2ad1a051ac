// What both basic configuration dialogs do with the result of their checks:
// write back the reformatted date and time texts and, on a failure, show the
// message, undo the failing box's last edit when asked and focus it.
#pragma once

#include <windows.h>

#include "dialogs/rules/basic_config_rules.h"

// The System block (name, date, time) shared by both dialogs: fills the
// boxes, the name cut to what its box holds (so OK writes the name the user
// saw, and counts the cut as a change, instead of silently cutting it to the
// request's 16 bytes); reads them back into the text members of `fields`.
void FillSystemBlock(HWND dialog, const rules::BasicConfigFields& fields);
void ReadSystemBlock(HWND dialog, rules::BasicConfigFields* fields);

// The control of a box named by the checks (0 for none).
int ConfigBoxId(rules::ConfigBox box);

// Returns whether the checks passed.
bool ApplyValidation(HWND dialog, const rules::ConfigValidation& v);
