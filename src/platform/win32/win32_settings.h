// The settings dialog's resource and control ids, shared by the programs'
// resource script and the code: plain defines, since windres reads them too.
#pragma once

#define OVU_SETTINGS_DIALOG 100
#define OVU_SETTINGS_RATE 101
#define OVU_SETTINGS_RATE_TEXT 102
#define OVU_SETTINGS_TITLE 103
#define OVU_SETTINGS_VSYNC 104
