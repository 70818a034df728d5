// The main window's fixed layout, in twips (15 twips a pixel at 96 DPI).
#pragma once

#include <array>

namespace veltrik {

inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kClientWidthTwips = 5580;
inline constexpr int kClientHeightTwips = 5025;

// Pixels for a length in twips at `dpi` dots per inch, rounded to nearest.
constexpr int TwipsToPixels(int twips, int dpi) { return (twips * dpi + kTwipsPerInch / 2) / kTwipsPerInch; }

enum class Item { kImage1, kLabel3, kLabel1, kLabel4, kLabel2, kCmdExit, kCmdAbout, kCmdStart };
enum class ItemKind { kHotspot, kLabel, kButton };

struct LayoutItem {
  Item item;
  ItemKind kind;
  int left, top, width, height;  // twips
  const char* text;              // what it says: a label's text, a button's word, where the link leads
  const char* tooltip;           // of a clickable picture
  bool bold;
  bool blue;  // text colour RGB(0, 0, 192) instead of the default
};

inline constexpr char kLabelFont[] = "Georgia";
inline constexpr int kLabelPointSizeX100 = 825;

// In reading order, which is the order of creation: a screen reader reads the
// texts in it, and Tab visits the buttons and the link in it.
inline constexpr std::array<LayoutItem, 8> kLayout = {{
    {Item::kLabel1, ItemKind::kLabel, 315, 990, 2265, 330, "What does this tool do?", nullptr, true, true},
    {Item::kLabel4, ItemKind::kLabel, 315, 1305, 5175, 825,
     "Many viruses corrupt Windows Safe Mode so you cannot boot in safe mode to remove them. This handy tool "
     "repairs Windows Safe Mode and gives you back the full control over your computer.",
     nullptr, false, false},
    {Item::kLabel3, ItemKind::kLabel, 360, 2475, 1860, 330, "How to use it?", nullptr, true, true},
    {Item::kLabel2, ItemKind::kLabel, 315, 2835, 5160, 840,
     "Click FIX button and your computer will restart immediately. Please save any unsaved work before you "
     "click FIX button. After restart hit F8 key to boot in Safe Mode.",
     nullptr, false, false},
    {Item::kCmdStart, ItemKind::kButton, 270, 3960, 1350, 375, "FIX", "Click to fix Windows Safe Mode", false, false},
    {Item::kCmdAbout, ItemKind::kButton, 2160, 3960, 1350, 375, "ABOUT", "Click to view information about this program",
     false, false},
    {Item::kCmdExit, ItemKind::kButton, 4095, 3960, 1350, 375, "EXIT", "Click to exit the program", false, false},
    {Item::kImage1, ItemKind::kHotspot, 3240, 4545, 2175, 375, "Morvane Software web site",
     "Click to visit Morvane Software web site for more free tools", false, false},
}};

}  // namespace veltrik
