// The Windows command ids of menus, tool bars, accelerators and context
// menus, and the dispatcher that turns each into an action on the hub.
#pragma once

#include <windows.h>

#include <cstdint>

class ViewerContext;

namespace command {
inline constexpr uint32_t kOpen = 500;
inline constexpr uint32_t kSaveAs = 501;
inline constexpr uint32_t kConvert = 502;
inline constexpr uint32_t kPrint = 503;
inline constexpr uint32_t kStandardView = 504;
inline constexpr uint32_t kClose = 506;
inline constexpr uint32_t kCloseAll = 507;
// Only the program build handles these two.
inline constexpr uint32_t kExit = 508;
inline constexpr uint32_t kReopenSession = 509;
inline constexpr uint32_t kProperties = 510;
inline constexpr uint32_t kZoomIn = 511;
inline constexpr uint32_t kZoomOut = 512;
inline constexpr uint32_t kZoomAll = 513;
inline constexpr uint32_t kZoomFactor = 514;
// The popups File, Zoom, View, Tools, Window and "?".
inline constexpr uint32_t kFirstPopup = 515;
inline constexpr uint32_t kLastPopup = 520;
inline constexpr uint32_t kMirrorVertical = 521;
inline constexpr uint32_t kMirrorHorizontal = 522;
inline constexpr uint32_t kRotateLeft = 523;
inline constexpr uint32_t kRotateRight = 524;
inline constexpr uint32_t kInvert = 525;
inline constexpr uint32_t kFirstPage = 526;
inline constexpr uint32_t kPreviousPage = 527;
inline constexpr uint32_t kNextPage = 528;
inline constexpr uint32_t kLastPage = 529;
inline constexpr uint32_t kGoToPage = 530;
inline constexpr uint32_t kScrollLeft = 531;
inline constexpr uint32_t kScrollRight = 532;
inline constexpr uint32_t kScrollUp = 533;
inline constexpr uint32_t kScrollDown = 534;
inline constexpr uint32_t kSettings = 535;
inline constexpr uint32_t kVariables = 536;
inline constexpr uint32_t kBitmapExport = 537;
inline constexpr uint32_t kMeasuringPoint = 538;
inline constexpr uint32_t kVersionComparison = 539;
inline constexpr uint32_t kComparisonMarker1 = 540;
inline constexpr uint32_t kComparisonMarker2 = 541;
inline constexpr uint32_t kToolBarOn = 542;
inline constexpr uint32_t kToolBarOff = 543;
inline constexpr uint32_t kMenuBarOn = 544;
inline constexpr uint32_t kMenuBarOff = 545;
inline constexpr uint32_t kStatusBarOn = 546;
inline constexpr uint32_t kStatusBarOff = 547;
inline constexpr uint32_t kNavigationDocked = 548;
inline constexpr uint32_t kNavigationFloating = 549;
inline constexpr uint32_t kNavigationHidden = 550;
inline constexpr uint32_t kPreviewDocked = 551;
inline constexpr uint32_t kPreviewFloating = 552;
inline constexpr uint32_t kPreviewHidden = 553;
inline constexpr uint32_t kZoomViewDocked = 554;
inline constexpr uint32_t kZoomViewFloating = 555;
inline constexpr uint32_t kZoomViewHidden = 556;
inline constexpr uint32_t kAbout = 557;
inline constexpr uint32_t kWebSite = 558;
inline constexpr uint32_t kInformation = 560;
inline constexpr uint32_t kRedlineEdit = 561;
inline constexpr uint32_t kRedlineSave = 562;
inline constexpr uint32_t kRedlineSelect = 563;
inline constexpr uint32_t kRedlineFirstTool = 564;  // 564 to 570
inline constexpr uint32_t kRedlineLastTool = 570;
inline constexpr uint32_t kSelectAllMarkups = 571;
inline constexpr uint32_t kDeleteMarkups = 572;
inline constexpr uint32_t kMarkupToFront = 573;
inline constexpr uint32_t kMarkupToBack = 574;
inline constexpr uint32_t kMarkupProperties = 575;
inline constexpr uint32_t kFirstRecentFile = 600;  // 600 to 649
inline constexpr uint32_t kLastRecentFile = 649;
inline constexpr uint32_t kFirstExtensionPopup = 650;  // one per extension
inline constexpr uint32_t kFirstExtension = 660;       // 660 to 759
inline constexpr uint32_t kLastExtension = 759;
inline constexpr uint32_t kFirstPrinter = 800;  // 800 to 809
inline constexpr uint32_t kLastPrinter = 809;
inline constexpr uint32_t kFirstDialogModule = 810;
}  // namespace command

// The page that "last page" asks for: past any real document.
inline constexpr int32_t kLastPageIndex = 999999999;

// Handles the command of a WM_COMMAND (its id is the low word of wparam);
// true when the id is one of the viewer's.
bool ViewerOnCommand(ViewerContext* context, WPARAM wparam, LPARAM lparam);
// Runs the dialog module at that position of the root's module list (the
// first is the open dialog's); false when there is none.
bool ViewerRunDialogModule(ViewerContext* context, uint32_t position);
// For 660 to 759: group (id - 660) / 10 and item (id - 660) % 10, true;
// otherwise both 0 and false.
bool SplitMenuCommand(uint32_t id, uint32_t& group, uint32_t& item);
