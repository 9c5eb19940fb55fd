// Helpers shared inside the library: attribute parsing, image descriptions, drawing.
#pragma once

#include "UIlib.h"

namespace DuiLib {
namespace internal {

// "l,t,r,b" -> rect; missing numbers stay 0.
RECT ParseRect(LPCTSTR text);
// "cx,cy" -> size.
SIZE ParseSize(LPCTSTR text);
// "#AARRGGBB", "#RRGGBB", "0xAARRGGBB" -> ARGB (alpha 0xFF when not given).
DWORD ParseColor(LPCTSTR text);
bool ParseBool(LPCTSTR text);
int ParseInt(LPCTSTR text);

// One image description: a bare file name or key='value' pairs
// (file, source, dest, corner, fade).
struct ImageDescription {
  CDuiString file;
  RECT source;
  bool hasSource;
  RECT dest;
  bool hasDest;
  RECT corner;
  BYTE fade;
};
// Applies the text on top of what is already in desc (a later key replaces an earlier one).
void ParseImageDescription(LPCTSTR text, ImageDescription& desc);
void ResetImageDescription(ImageDescription& desc);

// Fills rc with an ARGB colour (alpha blended when not opaque).
void FillColor(HDC hDC, const RECT& rc, DWORD argb);
// Draws an image description into rcItem, clipped to rcPaint; false when the image is missing.
bool DrawImage(HDC hDC,
               CPaintManagerUI* manager,
               const RECT& rcItem,
               const RECT& rcPaint,
               LPCTSTR description,
               LPCTSTR modify);
// Decodes PNG (or any GDI+ format) bytes into a premultiplied top-down DIB section.
TImageInfo* DecodeImage(const BYTE* data, DWORD size);
void FreeImage(TImageInfo* image);

inline COLORREF ToColorRef(DWORD argb) {
  return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

}  // namespace internal
}  // namespace DuiLib
