#pragma once
// Resource ids of the program's windows. The templates and the bitmap themselves are data in
// Resources.cpp and SideBitmap.cpp, found through res::findDialog / res::loadBitmap
// (platform/ui/Resources.h).

namespace res {

enum DialogId : int {
    IDD_WELCOME = 132,
    IDD_PORT = 135,
    IDD_VERSION = 136,
    IDD_VERIFY = 137,
    IDD_VERIFY_FAILED = 138,
    IDD_VERIFY_PASSED = 139,
    IDD_FILES = 140,
    IDD_ERASE = 152,
    IDD_UPGRADE_FAILED = 153,
    IDD_UPGRADE_DONE = 154,
    IDD_DOWNLOAD = 155,
    IDD_AGREEMENT = 171,
};

enum BitmapId : int { IDB_SIDE = 165 };

inline constexpr int kSideBitmapWidth = 121;
inline constexpr int kSideBitmapHeight = 261;

// Every dialog id above, in numeric order.
inline constexpr int kAllDialogs[] = {132, 135, 136, 137, 138, 139, 140, 152, 153, 154, 155, 171};

// The caption every wizard page and the agreement dialog carry.
inline constexpr const char* kUtilityCaption = "Tarvel Verification and Upgrade Utility";

}  // namespace res
