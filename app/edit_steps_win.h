// The images the edit history keeps for a scene's opening, and their exchange with the
// editor's. The steps themselves are declared with the other window-layer functions.
#pragma once

#include <cstdint>
#include <memory>

#include "app/editor_state.h"

// What a scene's opening replaces, and what its undo puts back: SourceImage with the pixels
// the warp reads, and BackdropImage.
class PaneImages : public HeldImages {
public:
    std::unique_ptr<Gdiplus::Bitmap> source;
    PixelImage sourcePixels;
    std::unique_ptr<Gdiplus::Bitmap> backdrop;
    uint64_t sourceSerial = 0;  // the editor's serials of the two images
    uint64_t backdropSerial = 0;

    uint64_t Bytes() const override
    {
        return BitmapBytes(source.get()) + sourcePixels.pixels.capacity() * 4 +
               BitmapBytes(backdrop.get());
    }

private:
    static uint64_t BitmapBytes(Gdiplus::Bitmap* image)
    {
        return image ? uint64_t(image->GetWidth()) * image->GetHeight() * 4 : 0;
    }
};

// Exchanges the images held with the editor's; when it throws, nothing has changed.
void ExchangeImages(std::unique_ptr<HeldImages>& held);
