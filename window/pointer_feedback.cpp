// Pointer feedback: a flag under the pointer shows its highlighted picture, a
// panel button's caption under the pointer is bold; a panel clears both.
#include "window/QOR_sync_FRM.hpp"

namespace qor {

void QOR_sync_FRM::Image1_MouseMove(int Index) {
  if (hover_image == nullptr) {
    hover_image = &Image1(Index);
    hover_image->Picture = Image3(Index).Picture;
  } else if (hover_image->Index() != Index) {
    hover_image->Picture = Image4(hover_image->Index()).Picture;
    hover_image = &Image1(Index);
    hover_image->Picture = Image3(Index).Picture;
  }
}

void QOR_sync_FRM::Label3_MouseMove(int Index) {
  if (hover_label == nullptr) {
    hover_label = &Label3(Index);
    hover_label->FontBold = true;
  } else if (hover_label->Index() != Index) {
    hover_label->FontBold = false;
    hover_label = &Label3(Index);
    hover_label->FontBold = true;
  }
}

void QOR_sync_FRM::Picture3_MouseMove(int Index) { Label3_MouseMove(Index); }

void QOR_sync_FRM::Picture1_MouseMove(int /*Index*/) {
  if (hover_image != nullptr) {
    hover_image->Picture = Image4(hover_image->Index()).Picture;
    hover_image = nullptr;
  }
  if (hover_label != nullptr) {
    hover_label->FontBold = false;
    hover_label = nullptr;
  }
}

}  // namespace qor
