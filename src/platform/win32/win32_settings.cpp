// The screensaver's settings on Windows: three DWORDs under HKCU\Software\ovu
// (advapi32), and the modal dialog that edits them (user32, comctl32's
// trackbar), whose template is in the programs' resources. Reading never
// fails: whatever cannot be read counts as the default, so a run without a
// user profile (the logon desktop's) gets the defaults. Only OK writes.

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <utility>

#include "platform/settings.h"
#include "platform/stop.h"
#include "platform/win32/win32_handle.h"
#include "platform/win32/win32_settings.h"

namespace ovu {

namespace {

constexpr const char* kKey = "Software\\ovu";
constexpr const char* kMaxFps = "MaxFps";
constexpr const char* kTitle = "Title";
constexpr const char* kVSync = "VSync";
constexpr int kTickEvery = 5;  // fps between the trackbar's ticks

StoredValue read_value(HKEY key, const char* name) {
  StoredValue value;
  BYTE data[16];
  DWORD type = 0, size = sizeof data;
  if (RegQueryValueExA(key, name, nullptr, &type, data, &size) != ERROR_SUCCESS) return value;
  value.read = true;
  value.dword = type == REG_DWORD;
  value.bytes.assign(data, data + size);
  return value;
}

// The system's error code of the first write that failed; 0 when all were stored.
LONG store(const ScreensaverSettings& settings) {
  HKEY key = nullptr;
  LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return status;
  const std::pair<const char*, DWORD> values[] = {{kMaxFps, static_cast<DWORD>(settings.max_fps)},
                                                  {kTitle, settings.title}, {kVSync, settings.vsync}};
  for (const auto& [name, number] : values) {
    status = RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    if (status != ERROR_SUCCESS) break;
  }
  RegCloseKey(key);
  return status;
}

void show_rate(HWND dialog) {
  const LRESULT fps = SendDlgItemMessageA(dialog, OVU_SETTINGS_RATE, TBM_GETPOS, 0, 0);
  SetDlgItemTextA(dialog, OVU_SETTINGS_RATE_TEXT, (std::to_string(fps) + " fps").c_str());
}

// Over the middle of the owner, kept inside the work area of the owner's monitor.
void centre_on(HWND dialog, HWND owner) {
  RECT outer{}, ours{};
  GetWindowRect(owner, &outer);
  GetWindowRect(dialog, &ours);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoA(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& area = monitor.rcWork;
  const int width = ours.right - ours.left, height = ours.bottom - ours.top;
  int x = (outer.left + outer.right - width) / 2, y = (outer.top + outer.bottom - height) / 2;
  x = std::max<int>(area.left, std::min<int>(x, area.right - width));
  y = std::max<int>(area.top, std::min<int>(y, area.bottom - height));
  SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void fill(HWND dialog, const ScreensaverSettings& settings) {
  const HWND rate = GetDlgItem(dialog, OVU_SETTINGS_RATE);
  SendMessageA(rate, TBM_SETRANGE, FALSE, MAKELPARAM(kSettingsMinFps, kSettingsMaxFps));
  SendMessageA(rate, TBM_SETTICFREQ, kTickEvery, 0);
  SendMessageA(rate, TBM_SETPAGESIZE, 0, kTickEvery);
  SendMessageA(rate, TBM_SETPOS, TRUE, settings.max_fps);
  CheckDlgButton(dialog, OVU_SETTINGS_TITLE, settings.title ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, OVU_SETTINGS_VSYNC, settings.vsync ? BST_CHECKED : BST_UNCHECKED);
  show_rate(dialog);
}

// The controls as they are now, whoever set them: a message that changes a
// control without notifying still counts.
ScreensaverSettings read_controls(HWND dialog) {
  ScreensaverSettings settings;
  settings.max_fps = clamp_settings_fps(SendDlgItemMessageA(dialog, OVU_SETTINGS_RATE, TBM_GETPOS, 0, 0));
  settings.title = IsDlgButtonChecked(dialog, OVU_SETTINGS_TITLE) == BST_CHECKED;
  settings.vsync = IsDlgButtonChecked(dialog, OVU_SETTINGS_VSYNC) == BST_CHECKED;
  return settings;
}

// A failed write is said, and the dialog stays open: Cancel still leaves.
void store_and_close(HWND dialog) {
  const LONG status = store(read_controls(dialog));
  if (status == ERROR_SUCCESS) {
    EndDialog(dialog, IDOK);
    return;
  }
  char text[256] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(status), 0,
                 text, sizeof text, nullptr);
  const std::string message = "The settings could not be stored (error " + std::to_string(status) + "). " + text;
  MessageBoxA(dialog, message.c_str(), "ovu", MB_OK | MB_ICONERROR);
}

INT_PTR CALLBACK dialog_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: {
      fill(dialog, *platform_stored_settings());
      const HWND owner = GetWindow(dialog, GW_OWNER);
      if (owner != nullptr) centre_on(dialog, owner);
      return TRUE;
    }
    case WM_HSCROLL:
      if (reinterpret_cast<HWND>(lparam) == GetDlgItem(dialog, OVU_SETTINGS_RATE)) show_rate(dialog);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK) store_and_close(dialog);
      if (LOWORD(wparam) == IDCANCEL) EndDialog(dialog, IDCANCEL);
      return TRUE;
    default: return FALSE;
  }
}

}  // namespace

std::optional<ScreensaverSettings> platform_stored_settings() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return ScreensaverSettings{};
  const ScreensaverSettings settings =
      decode_settings(read_value(key, kMaxFps), read_value(key, kTitle), read_value(key, kVSync));
  RegCloseKey(key);
  return settings;
}

bool platform_settings_dialog(std::uint32_t owner) {
  INITCOMMONCONTROLSEX classes{sizeof classes, ICC_BAR_CLASSES};
  InitCommonControlsEx(&classes);
  // A handle that names no window (any more) leaves the dialog without an owner.
  HWND parent = owner != 0 ? handle_from(owner) : nullptr;
  if (parent != nullptr && !IsWindow(parent)) parent = nullptr;
  if (DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(OVU_SETTINGS_DIALOG), parent, dialog_procedure, 0) ==
      -1) {
    const std::string reason = "win32: cannot show the settings dialog (error " + std::to_string(GetLastError()) + ")";
    fatal_stop(kCodeNoWindow, kWhereWindow, reason.c_str());
  }
  return true;
}

}  // namespace ovu
