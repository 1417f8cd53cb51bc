// The bits of the settings' RESTRICTIONS word: each forbids one kind of
// operation to the user (ViewerIsAllowed tests them; automation and the
// command line may add bits, never remove them).
#pragma once

#include <cstdint>

namespace restriction {
inline constexpr uint32_t kOpenInteractively = 1;  // the open dialog, drops, Close and the recent files
inline constexpr uint32_t kSave = 2;               // Save as and Convert
inline constexpr uint32_t kPrint = 8;
inline constexpr uint32_t kSettings = 16;           // the settings sheet
inline constexpr uint32_t kProperties = 32;         // the document properties
inline constexpr uint32_t kCopyView = 0x80;         // the screen copy (bitmap export)
inline constexpr uint32_t kPreviewDrag = 256;       // the preview's drag modes 1 and 2
inline constexpr uint32_t kPreviewDragFrame = 512;  // the preview's drag mode 3
inline constexpr uint32_t kZoom = 1024;
inline constexpr uint32_t kScroll = 2048;
inline constexpr uint32_t kEditVariables = 0x1000;  // the Edit-variables dialog
}  // namespace restriction
