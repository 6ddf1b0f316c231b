// The icon a desktop entry shows. The application's icon comes as the first
// icon group of a Windows icon library; desktops on Linux read icons as PNG
// (the only raster format the icon theme rules require of every desktop,
// where .ico depends on the image loaders a desktop happens to have), so the
// largest picture of the group is written as a PNG into the user's XDG icon
// folder and the entry points at that file.
#pragma once

#include <string>

namespace qor {

// The PNG's path, written in one step at
// <XDG data home>/icons/hicolor/<w>x<h>/apps/<name>.png; `icon_file`
// itself when it holds no icon this platform can read, or the PNG cannot
// be written (the reason goes to standard error).
std::string desktop_icon(const std::string& icon_file, const std::string& name);

}  // namespace qor
