// Numbers of the user-interface texts that code refers to by name. The texts
// themselves, German and English, are in resources/texts.txt.
#pragma once

#include <cstdint>

namespace text {

inline constexpr uint32_t kProductName = 1012;
inline constexpr uint32_t kWarning = 1013;
inline constexpr uint32_t kConfirmOverwrite = 1015;
inline constexpr uint32_t kSaveTargetOpen = 1018;
inline constexpr uint32_t kPixel = 2039;
// The version comparison's name and the lines of its explanation box.
inline constexpr uint32_t kCompare = 2745;
inline constexpr uint32_t kComparisonInsertPages = 2746;  // 2746-2749: no pages yet
inline constexpr uint32_t kComparisonCannotShow = 2750;   // 2750-2753: markers that do not line up
// The three lines of the box of a document the view cannot show.
inline constexpr uint32_t kCannotDisplayFile = 2890;
inline constexpr uint32_t kRequestCanceled = 3000;
inline constexpr uint32_t kAccessError = 3001;
inline constexpr uint32_t kInvalidFormat = 3002;
inline constexpr uint32_t kUnsupportedFormat = 3003;
inline constexpr uint32_t kFileHasErrors = 3004;
inline constexpr uint32_t kError = 5000;
inline constexpr uint32_t kOk = 10002;
inline constexpr uint32_t kCancel = 10004;

}  // namespace text
