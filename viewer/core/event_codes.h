// Every action and notification number of the viewer, in one place. The
// desktop program has one action more than the control, the one that reopens
// the session list, at 61; every number from 61 up is therefore one higher in
// the program build. The numbers never leave the process, so each build only
// has to agree with itself.
#pragma once

#include <cstdint>

#if defined(VIEWER_PROGRAM_BUILD) && VIEWER_PROGRAM_BUILD
inline constexpr bool kViewerProgramBuild = true;
#else
inline constexpr bool kViewerProgramBuild = false;
#endif

// The control build's number n, as this build numbers it.
constexpr uint32_t EventNumber(uint32_t n) { return n >= 61 && kViewerProgramBuild ? n + 1 : n; }

namespace event {

// Notifications.
inline constexpr uint32_t kAppEnding = 1;
inline constexpr uint32_t kItemAdded = 4;
inline constexpr uint32_t kPagesBuilt = 5;
inline constexpr uint32_t kItemKindChanged = 6;
inline constexpr uint32_t kItemNameChanged = 7;
inline constexpr uint32_t kSourceLoaded = 8;
inline constexpr uint32_t kViewChanged = 9;
inline constexpr uint32_t kMainViewScaleChanged = 10;
inline constexpr uint32_t kItemDestroyed = 12;
inline constexpr uint32_t kItemRemoved = 13;
inline constexpr uint32_t kActiveItemChanged = 14;
inline constexpr uint32_t kMainViewRecomputed = 16;
inline constexpr uint32_t kDocumentOpened = 17;
inline constexpr uint32_t kSettingChanged = 18;
inline constexpr uint32_t kRestrictionsChanged = 19;
inline constexpr uint32_t kItemContentChanged = 20;
inline constexpr uint32_t kRedlineModeChanged = 21;
inline constexpr uint32_t kRedlineSelectionChanged = 22;
inline constexpr uint32_t kProgress = 23;
inline constexpr uint32_t kDrawingScaleChanged = 24;
inline constexpr uint32_t kStatusText = EventNumber(65);

// Masks of kViewChanged.
inline constexpr int32_t kViewPosition = 1;
inline constexpr int32_t kViewZoom = 2;
inline constexpr int32_t kViewRotation = 4;
inline constexpr int32_t kViewMirroring = 8;
inline constexpr int32_t kViewInversion = 16;
inline constexpr int32_t kViewFixedZoom = 32;
inline constexpr int32_t kViewEverything = 65535;

// Actions.
inline constexpr uint32_t kOpenRequest = 2;
inline constexpr uint32_t kOpenCommandLine = 3;
inline constexpr uint32_t kMouseWheel = 11;
inline constexpr uint32_t kActivateItem = 15;
inline constexpr uint32_t kOpenWithRegisteredProgram = 25;
inline constexpr uint32_t kOpenDialog = 26;
inline constexpr uint32_t kSaveAs = 27;
inline constexpr uint32_t kConvertDialog = 28;
inline constexpr uint32_t kCloseDocument = 29;
inline constexpr uint32_t kCloseAll = 30;
inline constexpr uint32_t kZoomIn = 31;
inline constexpr uint32_t kZoomOut = 32;
inline constexpr uint32_t kZoomAll = 33;
inline constexpr uint32_t kStandardView = 34;
inline constexpr uint32_t kToggleInversion = 35;
inline constexpr uint32_t kPageStep = 36;
inline constexpr uint32_t kGoToPage = 37;
inline constexpr uint32_t kPrint = 38;
inline constexpr uint32_t kMirrorVertical = 39;
inline constexpr uint32_t kMirrorHorizontal = 40;
inline constexpr uint32_t kRotateLeft = 41;
inline constexpr uint32_t kRotateRight = 42;
inline constexpr uint32_t kScrollHorizontal = 43;
inline constexpr uint32_t kScrollVertical = 44;
inline constexpr uint32_t kSettingsSheet = 45;
inline constexpr uint32_t kVariablesDialog = 46;
inline constexpr uint32_t kBitmapExportDialog = 47;
inline constexpr uint32_t kAboutDialog = 48;
inline constexpr uint32_t kInfoBox = 49;
inline constexpr uint32_t kOpenWebSite = 50;
inline constexpr uint32_t kDocumentProperties = 52;
inline constexpr uint32_t kShowMenuBar = 53;
inline constexpr uint32_t kShowToolBar = 54;
inline constexpr uint32_t kShowNavigation = 55;
inline constexpr uint32_t kShowStatusBar = 56;
inline constexpr uint32_t kShowPreview = 57;
inline constexpr uint32_t kShowZoomView = 58;
inline constexpr uint32_t kSetPopupsMoveable = 59;
inline constexpr uint32_t kOpenRecentFile = 60;
// Only the program has it; the control build has no action here.
inline constexpr uint32_t kReopenSessionList = 61;
inline constexpr uint32_t kZoomFactor = EventNumber(61);
inline constexpr uint32_t kScaleDialog = EventNumber(62);
inline constexpr uint32_t kExtensionCommand = EventNumber(63);
inline constexpr uint32_t kContextMenu = EventNumber(64);
inline constexpr uint32_t kMeasuringPoint = EventNumber(66);
inline constexpr uint32_t kVersionComparison = EventNumber(67);
inline constexpr uint32_t kComparisonMarker = EventNumber(68);
inline constexpr uint32_t kSaveRedlining = EventNumber(69);
inline constexpr uint32_t kSelectAllMarkups = EventNumber(70);
inline constexpr uint32_t kDeleteMarkups = EventNumber(71);
inline constexpr uint32_t kMarkupOrder = EventNumber(72);
inline constexpr uint32_t kMarkupProperties = EventNumber(73);

}  // namespace event
