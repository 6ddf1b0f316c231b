#include "window/win32/pictures.hpp"

#include <cstring>
#include <utility>

#include "platform/win32/wide_text.hpp"

namespace qor::win32 {
namespace {

// Memory for a stream, freed unless the stream took it over.
class MovableMemory {
 public:
  explicit MovableMemory(SIZE_T size) : memory_(GlobalAlloc(GMEM_MOVEABLE, size)) {}
  MovableMemory(const MovableMemory&) = delete;
  MovableMemory& operator=(const MovableMemory&) = delete;
  ~MovableMemory() {
    if (memory_ != nullptr) GlobalFree(memory_);
  }
  HGLOBAL get() const { return memory_; }
  HGLOBAL release() { return std::exchange(memory_, nullptr); }

 private:
  HGLOBAL memory_;
};

}  // namespace

Picture::Picture(ComPtr<IPicture> picture, SIZE pixels, SIZE himetric)
    : picture_(std::move(picture)), pixels_(pixels), himetric_(himetric) {}

void Picture::draw(HDC dc, int x, int y) const {
  if (!picture_) return;
  // Source rectangles are in HIMETRIC, measured from the bottom edge.
  picture_->Render(dc, x, y, pixels_.cx, pixels_.cy, 0, himetric_.cy, himetric_.cx, -himetric_.cy, nullptr);
}

Picture load_picture(HMODULE module, const std::string& asset, const ScreenUnits& units) {
  if (asset.empty()) return {};
  const std::wstring name = to_wide(asset);
  HRSRC found = FindResourceW(module, name.c_str(), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (found == nullptr) return {};
  HGLOBAL loaded = LoadResource(module, found);
  const DWORD size = SizeofResource(module, found);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (bytes == nullptr || size == 0) return {};

  MovableMemory memory(size);
  if (memory.get() == nullptr) return {};
  void* target = GlobalLock(memory.get());
  if (target == nullptr) return {};
  std::memcpy(target, bytes, size);
  GlobalUnlock(memory.get());

  ComPtr<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(memory.get(), TRUE, stream.put()))) return {};
  memory.release();  // the stream frees it now

  ComPtr<IPicture> picture;
  if (FAILED(OleLoadPicture(stream.get(), static_cast<LONG>(size), FALSE, IID_IPicture,
                            reinterpret_cast<void**>(picture.put())))) {
    return {};
  }
  OLE_XSIZE_HIMETRIC width = 0;
  OLE_YSIZE_HIMETRIC height = 0;
  picture->get_Width(&width);
  picture->get_Height(&height);
  // A decoded GIF or JPEG is a bitmap: its own pixels, at the screen's DPI,
  // are its size. The HIMETRIC size is only asked for other kinds of picture.
  SIZE pixels{units.himetric_to_pixels(width), units.himetric_to_pixels(height)};
  short type = PICTYPE_NONE;
  OLE_HANDLE handle = 0;
  BITMAP bitmap{};
  if (SUCCEEDED(picture->get_Type(&type)) && type == PICTYPE_BITMAP && SUCCEEDED(picture->get_Handle(&handle)) &&
      GetObjectW(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), sizeof bitmap, &bitmap) != 0) {
    pixels = SIZE{units.picture_pixels(bitmap.bmWidth), units.picture_pixels(bitmap.bmHeight)};
  }
  return Picture(std::move(picture), pixels, SIZE{width, height});
}

const Picture& PictureCache::get(const std::string& asset) {
  auto found = pictures_.find(asset);
  if (found == pictures_.end()) {
    found = pictures_.emplace(asset, load_picture(GetModuleHandleW(nullptr), asset, units_)).first;
  }
  return found->second;
}

}  // namespace qor::win32
