// Driving the "Option" dialog in-process: run it modally, act on its controls once it is up,
// then end it with OK, with the Esc key or from the action itself.
#pragma once

#include <windows.h>
#include <string>

enum class DialogEnd { kOk, kEscape, kByAction };
using DialogAction = void (*)(HWND dialog, void* context);

// A hidden top-level window to own dialogs in tests that have no main window.
HWND TestDialogOwner();
// Runs "Option" with OPTION, owned by `owner`; returns DialogBoxParamA's result, or
// kDialogTimedOut when the dialog did not end within a bound.
constexpr INT_PTR kDialogTimedOut = -2;
INT_PTR RunOptionDialog(HWND owner, DialogAction act, void* context, DialogEnd end);
// Sends the Options command to the real main window, which runs the dialog it owns, and acts
// on the dialog the same way; true when the dialog came up and ended within the bound.
bool RunOptionCommand(HWND mainWindow, DialogAction act, void* context, DialogEnd end);

// Selects the list entry whose text is exactly `text`; returns its index or CB_ERR.
int ChooseListEntry(HWND dialog, int listId, const char* text);
std::string ListEntryText(HWND dialog, int listId, int index);
int ListSelection(HWND dialog, int listId);
std::string ItemText(HWND dialog, int id);
// Replaces the edit's text by typing `text` character by character (so its limit applies).
void TypeInto(HWND dialog, int editId, const char* text);
void Click(HWND dialog, int id);
