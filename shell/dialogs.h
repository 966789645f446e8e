// The three dialogs of the main window, each given its data through the lParam of
// DialogBoxParamA: Options (the settings, written back on OK), Monitor (the monitor format
// within what the input device reports) and Wave Information (the file's header fields).
#pragma once

#include <windows.h>
#include <cstdint>

#include "audio/input_devices.h"
#include "core/types.h"
#include "shell/decisions.h"

struct OptionsDialogData {
    Settings* settings;
    uint16_t platformVersion;
};
INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

struct MonitorDialogData {
    MonitorFormat* format;
    const InputDeviceList* devices;   // the mapper first; the format's device is one of them
    InputFormatQuery query;           // asks a device about one format
};
INT_PTR CALLBACK MonitorDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// lParam: the file's name (const char*).
INT_PTR CALLBACK InfoDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
