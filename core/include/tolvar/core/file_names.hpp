// Rules for the names of files the program makes or takes from its own
// files: which names Windows opens as a device instead of a file. Pure
// functions on UTF-8; no file is touched.
#pragma once

#include <string_view>

namespace tolvar::core {

// Whether Windows takes a file name (no folder part) as a device: the part
// before its first dot, with trailing spaces dropped, is CON, PRN, AUX,
// NUL, CONIN$, CONOUT$, or COM or LPT followed by one digit (0 to 9) or a
// superscript one, two or three, in any case. "COM1.lab 2026.log" is the
// serial port; "CONSOLE.log", "COM10" and "com1x" are files.
bool is_reserved_device_name(std::string_view name);

}  // namespace tolvar::core
