#pragma once
// The desktop program's clipboard inputs (Windows only). Each opens the
// clipboard without an owner window, always closes it again, and returns a
// ClipboardResult code (app/logic/packed_dib.h). Window thread.

class DibImage;

// The clipboard's bitmap (CF_BITMAP), made opaque; hasAlpha cleared.
unsigned pasteBitmap(DibImage& image);
// The clipboard's 32-bit device-independent bitmap (CF_DIB) with its alpha;
// hasAlpha set. A block that is not 32 bits per pixel gives code 2 and leaves
// the image as it was; a block too small for what its header claims gives 3.
unsigned pasteDib32(DibImage& image);
