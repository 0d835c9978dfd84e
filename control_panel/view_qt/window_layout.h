// The sizes the window keeps, shared by the view and its tests.
#pragma once

namespace zl::view {

inline constexpr int kClientWidth = 322;
inline constexpr int kClientHeight = 448;
inline constexpr int kHeaderHeight = 84;
inline constexpr int kClientEntryHeight = 84;
inline constexpr int kMarkerSize = 16;
inline constexpr int kStatusIconSize = 32;
inline constexpr int kDevicePictureSize = 48;
inline constexpr int kFlagWidth = 25;
inline constexpr int kFlagHeight = 13;

}  // namespace zl::view
