#pragma once
// Window styles, notifications and colours in the terms the pages are written in.
#include <QColor>

#include <cstdint>

#include "platform/win_types.h"

using WORD = std::uint16_t;

constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD BS_PUSHBUTTON = 0x0;
constexpr DWORD BS_OWNERDRAW = 0xB;
constexpr DWORD SS_NOTIFY = 0x100;

constexpr WORD BN_CLICKED = 0;

// Sent by a command button to its parent and by the parent back to a button:
// drop the hover highlight (the parent forwards it to the button with id wParam).
constexpr UINT WM_DROP_HIGHLIGHT = WM_APP + 2;

constexpr WPARAM MAKEWPARAM(WORD low, WORD high) {
    return static_cast<WPARAM>(static_cast<DWORD>(low) | (static_cast<DWORD>(high) << 16));
}
constexpr WORD LOWORD(WPARAM value) { return static_cast<WORD>(value & 0xFFFF); }
constexpr WORD HIWORD(WPARAM value) { return static_cast<WORD>((value >> 16) & 0xFFFF); }

inline QColor RGB(int red, int green, int blue) { return QColor(red, green, blue); }

// The colours of the wizard's background bands.
inline QColor BandDarkColour() { return RGB(0, 97, 152); }
inline QColor BandLightColour() { return RGB(17, 115, 170); }
