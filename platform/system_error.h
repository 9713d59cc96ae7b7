#pragma once
// System error codes (errno values) and their texts.
#include <string>

// What a reader does after a failed read, by the error's class.
enum class ReadFailure {
    Silent,        // nothing to tell: the caller decides what the failure means
    DeviceBusy,    // an I/O error of the device: pause half a second first
    Report,        // any other error: show the system's text to the user
};

ReadFailure ClassifyReadError(int error);

// The system's text for an error code.
std::string FormatMessageW(int error);
