#pragma once

// Window messages with which skin data announces a change of its skin, and
// with which a form closes its skin menus. They lie in the application's
// private range (WM_USER = 0x400) and are sent synchronously with
// wParam = the sending TbsSkinData and lParam = kSkinMessageLParam.

#include <cstdint>

namespace skin {

inline constexpr uint32_t kWmUser = 0x0400;

// Sent before a skin data object discards its skin: every receiver drops its
// references into the skin data before the call returns.
inline constexpr uint32_t WM_SKINDATA_CHANGING = kWmUser + 201;  // 1225
// Sent after a new skin is completely loaded.
inline constexpr uint32_t WM_SKINDATA_CHANGED = kWmUser + 202;  // 1226
// Sent right after WM_SKINDATA_CHANGED, for multi-document frames.
inline constexpr uint32_t WM_SKINDATA_CHANGED_MDI = kWmUser + 203;  // 1227
// Closes the skin menus of a form.
inline constexpr uint32_t WM_CLOSE_SKIN_MENUS = kWmUser + 204;  // 1228
// Sent after the skin data's string table has been set.
inline constexpr uint32_t WM_SKIN_STRINGS_CHANGED = kWmUser + 250;  // 1274

// The lParam of every skin notification.
inline constexpr int32_t kSkinMessageLParam = 1000;

static_assert(WM_SKINDATA_CHANGING == 1225 && WM_SKINDATA_CHANGED == 1226 &&
              WM_SKINDATA_CHANGED_MDI == 1227 && WM_CLOSE_SKIN_MENUS == 1228 &&
              WM_SKIN_STRINGS_CHANGED == 1274);

}  // namespace skin
