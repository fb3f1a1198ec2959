#include "SystemReport.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

std::string describeSystem() {
    std::string report;
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    if (EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode)) {
        report = "display " + std::to_string(mode.dmPelsWidth) + "x" + std::to_string(mode.dmPelsHeight) + ", " +
                 std::to_string(mode.dmBitsPerPel) + " bpp, " + std::to_string(mode.dmDisplayFrequency) + " Hz";
    } else {
        report = "display mode unavailable";
    }
    UINT speed = 0;
    if (SystemParametersInfoW(SPI_GETKEYBOARDSPEED, 0, &speed, 0)) {
        report += "; keyboard speed " + std::to_string(speed);
    } else {
        report += "; keyboard speed unavailable";
    }
    return report;
}
