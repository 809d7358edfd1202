#include "nmea/parse_result.h"

const wchar_t* parse_result_name(int code) noexcept {
    static constexpr const wchar_t* names[] = {L"Ok",
                                               L"UnknownFormat",
                                               L"TooManyParams",
                                               L"InvalidChecksum",
                                               L"UnknownMessage",
                                               L"NotSupportedMessage",
                                               L"InvalidGGA",
                                               L"InvalidGLL",
                                               L"InvalidGSA",
                                               L"InvalidGSV",
                                               L"InvalidRMC",
                                               L"InvalidVTG"};
    constexpr int named = static_cast<int>(sizeof names / sizeof names[0]);
    return code >= 0 && code < named ? names[code] : L"Unknown";
}
