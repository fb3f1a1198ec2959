// What the system reports of the two settings the extension changes, read straight from USER32.
#pragma once

#include <string>

// "display 1024x768, 32 bpp, 60 Hz; keyboard speed 31"
std::string describeSystem();
