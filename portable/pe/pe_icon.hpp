// The icon of a PE image (the application's icon comes as a Windows icon
// resource in a library): the image's first icon group with the pictures it
// names, put together as the bytes of an .ico file, which icon readers take.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "portable/pe/pe_resources.hpp"

namespace qor {

// What a hostile image can make the reader hold: the pictures it takes from
// one group, the bytes of one picture and of all of them.
inline constexpr std::size_t kMaxIconPictures = 32;
inline constexpr std::size_t kMaxIconPictureBytes = std::size_t{1} << 20;
inline constexpr std::size_t kMaxIconBytes = std::size_t{4} << 20;

// The .ico file of the first icon group: the ICONDIR header, one
// ICONDIRENTRY per picture (width, height, colours, planes and bits as the
// group gives them, the size and offset of the picture in the file), then
// the pictures. A picture the image lacks, or one larger than
// kMaxIconPictureBytes, is left out, as are those past kMaxIconPictures or
// past kMaxIconBytes in all.
// Empty when the image has no icon group, the group is damaged, or none of
// its pictures can be read.
std::vector<unsigned char> read_pe_icon(const ByteSource& source);
std::vector<unsigned char> read_pe_icon_from_bytes(std::span<const unsigned char> bytes);

}  // namespace qor
