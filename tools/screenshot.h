#pragma once

#include <windows.h>

#include <filesystem>

namespace velkaro::tools {

// Saves what the screen shows of the window as a PNG file.
void SaveScreenshot(HWND window, const std::filesystem::path& file);

}  // namespace velkaro::tools
