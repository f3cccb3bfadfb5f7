#pragma once
// createFontA: the CreateFontA stand-in. Builds a QFont from the logical-font arguments that the
// windows use ("Times New Roman", height 16, FW_BOLD, FF_ROMAN ...). A positive height is the
// character cell height in pixels (ascent + descent), a negative one the character height; a
// height of 0 keeps the default size. Width, angles, precisions and quality are accepted and
// ignored: the toolkit picks those.

#include <QFont>

namespace ui {

enum FontWeight : int { FW_NORMAL = 400, FW_BOLD = 700 };
enum FontPitchFamily : unsigned { DEFAULT_PITCH = 0, FF_ROMAN = 0x10, FF_SWISS = 0x20, FF_MODERN = 0x30 };
enum FontCharset : unsigned { ANSI_CHARSET = 0 };
enum FontPrecision : unsigned { OUT_DEFAULT_PRECIS = 0, CLIP_DEFAULT_PRECIS = 0, DEFAULT_QUALITY = 0 };

QFont createFontA(int height, int width, int escapement, int orientation, int weight, bool italic,
                  bool underline, bool strikeOut, unsigned charset, unsigned outPrecision,
                  unsigned clipPrecision, unsigned quality, unsigned pitchAndFamily, const char* face);

}  // namespace ui
