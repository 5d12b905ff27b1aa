#include "keys.h"

namespace {

// Shift, Ctrl and Alt, either side, and the three lock keys, as Windows numbers them.
bool IsWindowsModifierOrLock(uint16_t virtual_key) {
  // VK_SHIFT, VK_CONTROL, VK_MENU; VK_CAPITAL; VK_NUMLOCK, VK_SCROLL; VK_LSHIFT to VK_RMENU
  return (virtual_key >= 0x10 && virtual_key <= 0x12) || virtual_key == 0x14 ||
         virtual_key == 0x90 || virtual_key == 0x91 || (virtual_key >= 0xA0 && virtual_key <= 0xA5);
}

// Shift, Ctrl, Alt and GUI either side, AltGr and the three lock keys, as SDL numbers them.
bool IsSdlModifierOrLock(int32_t sym) {
  if (!(sym & kSdlScancodeMask)) return false;
  const int32_t scancode = sym & ~kSdlScancodeMask;
  return (scancode >= 224 && scancode <= 231) || scancode == 257 || scancode == 57 ||
         scancode == 83 || scancode == 71;
}

}  // namespace

int ConsoleKeyCode(const ConsoleKeyEvent& event) {
  if (!event.key || !event.down) return 0;
  if (event.character != 0) return event.character;
  if (event.virtual_key == 0 || IsWindowsModifierOrLock(event.virtual_key)) return 0;
  return 256 + event.virtual_key;
}

int WindowKeyDownCode(uint32_t virtual_key, bool system) {
  // VK_PRIOR..VK_HELP, VK_F1..VK_F24, VK_PAUSE, VK_APPS
  const bool without_character = (virtual_key >= 0x21 && virtual_key <= 0x2F) ||
                                 (virtual_key >= 0x70 && virtual_key <= 0x87) ||
                                 virtual_key == 0x13 || virtual_key == 0x5D;
  if (!without_character || (system && virtual_key == 0x73)) return 0;  // 0x73: VK_F4
  return 0x100 + static_cast<int>(virtual_key);
}

int SdlKeyDownCode(const SdlKeyDown& key) {
  if (IsSdlModifierOrLock(key.sym)) return 0;
  switch (key.sym) {
    case kSdlKeypadEnter:
    case '\r': return '\r';
    case 27: return 27;
    case '\t': return '\t';
    case '\b': return '\b';
    default: break;
  }
  if (key.sym == kSdlDelete || (key.sym & kSdlScancodeMask)) return 0x100 + key.scancode;
  // Ctrl with a letter types a control byte, which text events never carry.
  if ((key.mod & kSdlCtrl) && key.sym >= 'a' && key.sym <= 'z') return key.sym - 'a' + 1;
  return 0;
}
