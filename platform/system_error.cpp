#include "platform/system_error.h"

#include <cerrno>
#include <cstring>

ReadFailure ClassifyReadError(int error) {
    switch (error) {
    case 0:
        return ReadFailure::Silent;
    case EIO:
        return ReadFailure::DeviceBusy;
    default:
        return ReadFailure::Report;
    }
}

std::string FormatMessageW(int error) {
    char buffer[256];
    // The GNU strerror_r returns the text, which may or may not be in `buffer`.
    return strerror_r(error, buffer, sizeof buffer);
}
