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

// Settings sheet: caption, page titles and the choices of its combo boxes.
inline constexpr uint32_t kSettings = 2830;
inline constexpr uint32_t kSettingsDefaultView = 2831;
inline constexpr uint32_t kSettingsCommon = 2832;
inline constexpr uint32_t kSettingsRedlining = 2857;
inline constexpr uint32_t kSettingsUserInfo = 2867;
inline constexpr uint32_t kSettingsNetwork = 2882;
inline constexpr uint32_t kLanguageGerman = 10200;  // 10200-10201 by LANGUAGE
inline constexpr uint32_t kFileOpenModeDefault = 2884;  // 2884-2887 by ACTIVEX_FILEOPENMODE
inline constexpr uint32_t kLengthUnitMetricTechnical = 1860;  // 1860-1863 by LENGTH_UNIT 1-4
inline constexpr uint32_t kFileTypesNotUsed = 2893;
inline constexpr uint32_t kFileTypesRegistered = 2847;
inline constexpr uint32_t kUnitMillimetre = 10100;
inline constexpr uint32_t kUnitInch = 10103;

}  // namespace text
