// Reading the extended dialog template, and dialog units.
#include "dialog_template.h"

#include "layer_messages.h"

namespace {

// A NUL-terminated UTF-16 string.
bool ReadString(LittleEndianReader& in, std::u16string& text) {
  text.clear();
  for (std::uint16_t unit; in.Read(unit);) {
    if (unit == 0) return true;
    text.push_back(static_cast<char16_t>(unit));
  }
  return false;
}

// A menu or window class field: 0 (none), 0xFFFF and an id, or a string.
bool SkipNameOrId(LittleEndianReader& in) {
  std::uint16_t first;
  if (!in.Read(first)) return false;
  if (first == 0) return true;
  std::uint16_t id;
  if (first == 0xFFFF) return in.Read(id);
  std::u16string rest;
  return ReadString(in, rest);
}

}  // namespace

bool ParseDialogTemplate(Bytes bytes, DialogTemplate& dialog) {
  LittleEndianReader in(bytes);
  std::uint16_t version, signature;
  std::uint32_t helpId;
  if (!in.Read(version) || !in.Read(signature) || version != 1 || signature != 0xFFFF) return false;
  if (!in.Read(helpId) || !in.Read(dialog.exStyle) || !in.Read(dialog.style) || !in.Read(dialog.itemCount) ||
      !in.Read(dialog.x) || !in.Read(dialog.y) || !in.Read(dialog.cx) || !in.Read(dialog.cy) ||
      !SkipNameOrId(in) /* menu */ || !SkipNameOrId(in) /* window class */ || !ReadString(in, dialog.title)) {
    return false;
  }
  if ((dialog.style & DS_SETFONT) == 0) return true;
  return in.Read(dialog.pointSize) && in.Read(dialog.weight) && in.Read(dialog.italic) &&
         in.Read(dialog.charset) && ReadString(in, dialog.typeface);
}

DialogUnits DialogUnitsForFont(int pointSize) {
  if (pointSize <= 0) return {8, 16};
  const int pixels = (pointSize * 96 + 36) / 72;
  return {(pixels + 1) / 2, pixels};
}
