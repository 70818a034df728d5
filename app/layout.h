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
  const char* text;              // label text, or tooltip of a clickable picture
  bool bold;
  bool blue;  // text colour RGB(0, 0, 192) instead of the default
};

inline constexpr char kLabelFont[] = "Georgia";
inline constexpr int kLabelPointSizeX100 = 825;

// In creation order.
inline constexpr std::array<LayoutItem, 8> kLayout = {{
    {Item::kImage1, ItemKind::kHotspot, 3240, 4545, 2175, 375,
     "Click to visit Morvane Software web site for more free tools", false, false},
    {Item::kLabel3, ItemKind::kLabel, 360, 2475, 1860, 330, "How to use it?", true, true},
    {Item::kLabel1, ItemKind::kLabel, 315, 990, 2265, 330, "What does this tool do?", true, true},
    {Item::kLabel4, ItemKind::kLabel, 315, 1305, 5175, 825,
     "Many viruses corrupt Windows Safe Mode so you cannot boot in safe mode to remove them. This handy tool "
     "repairs Windows Safe Mode and gives you back the full control over your computer.",
     false, false},
    {Item::kLabel2, ItemKind::kLabel, 315, 2835, 5160, 840,
     "Click FIX button and your computer will restart immediately. Please save any unsaved work before you "
     "click FIX button. After restart hit F8 key to boot in Safe Mode.",
     false, false},
    {Item::kCmdExit, ItemKind::kButton, 4095, 3960, 1350, 375, "Click to exit the program", false, false},
    {Item::kCmdAbout, ItemKind::kButton, 2160, 3960, 1350, 375, "Click to view information about this program", false,
     false},
    {Item::kCmdStart, ItemKind::kButton, 270, 3960, 1350, 375, "Click to fix Windows Safe Mode", false, false},
}};

}  // namespace veltrik
