// How one document is opened: how to show it (margins, cut-out, inversion,
// rotation, mirroring, scale), how to fetch it (credentials, cookie, loading
// time limit) and what the user may do with it. Every value carries a
// set-marker, so a request's record can be completed value by value from
// the settings' default record.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"
#include "viewer/core/scale.h"

// Plain fields: read them directly or through the getters (which answer the
// defaults of unset values); change them only through the setters, which
// keep the markers. Texts count as set when they are not empty. No lock: a
// record is filled by one thread before it is shared, and the settings'
// default record is changed only on the GUI thread.
class OpenParams : public RefCounted {
  public:
    WString title;  // shown instead of the path
    WString name;   // the file name the document is known and copied under
    bool margins_set = false;
    double margin_left = 0.0;  // millimetres, never negative
    double margin_top = 0.0;
    double margin_right = 0.0;
    double margin_bottom = 0.0;
    RectD cut_out;  // millimetres of the page; unset while its width is 0
    bool inverted = false;
    bool inverted_set = false;
    uint32_t auto_invert = 0;  // 0 off, 1 white background, 2 black background
    bool auto_invert_set = false;
    uint32_t rotation = 0;  // 0, 90, 180 or 270
    bool rotation_set = false;
    bool mirror_h = false;
    bool mirror_h_set = false;
    bool mirror_v = false;
    bool mirror_v_set = false;
    WString user_id;
    WString password;
    WString cookie;
    bool allow_save = true;
    bool allow_save_set = false;
    bool allow_print = true;
    bool allow_print_set = false;
    // Document properties; no parser sets it.
    bool allow_flag = true;
    bool allow_flag_set = false;
    // The margins were changed or completed by a merge: the settings save
    // their default record only when it is set.
    bool modified = false;
    uint32_t max_loading_time = 0;  // milliseconds
    bool max_loading_time_set = false;
    Ref<Scale> scale;
    // Cleared for every path of a request after the first, so only the first
    // document of a request becomes active when it has loaded.
    bool activate_when_loaded = true;
    // Opened for an untrusted caller (a web page's script or data): only
    // ftp, http and https URLs open, this document and every document that
    // a list of it names, at any depth.
    bool web_only = false;
};

// Everything unset, activate-when-loaded set.
Ref<OpenParams> OpenParamsCreate();
// Every value and marker copied, the scale shared, the modified mark clear.
Ref<OpenParams> OpenParamsClone(const OpenParams* source);
// Fills every unset value of the target from the defaults.
void OpenParamsMergeDefaults(OpenParams* target, const OpenParams* defaults);
// A clone of `given`, completed from `defaults` when they are given.
Ref<OpenParams> OpenParamsCloneWithDefaults(const OpenParams* given, const OpenParams* defaults);

// Getters: the value when it is set, else the default (empty texts, 0,
// false, permissions true, null scale).
WString OpenParamsGetTitle(const OpenParams* params);
WString OpenParamsGetName(const OpenParams* params);
// False (and all four 0) while no margins are set.
bool OpenParamsGetOffsets(const OpenParams* params, double& left, double& top, double& right, double& bottom);
// False (and the empty rectangle) while no cut-out is set.
bool OpenParamsGetCutOut(const OpenParams* params, RectD& cut_out);
bool OpenParamsGetInverted(const OpenParams* params);
uint32_t OpenParamsGetAutoInvert(const OpenParams* params);
uint32_t OpenParamsGetRotation(const OpenParams* params);
bool OpenParamsGetMirrorH(const OpenParams* params);
bool OpenParamsGetMirrorV(const OpenParams* params);
WString OpenParamsGetUserId(const OpenParams* params);
WString OpenParamsGetPassword(const OpenParams* params);
WString OpenParamsGetCookie(const OpenParams* params);
bool OpenParamsGetAllowSave(const OpenParams* params);
bool OpenParamsGetAllowPrint(const OpenParams* params);
bool OpenParamsGetAllowFlag(const OpenParams* params);
uint32_t OpenParamsGetMaxLoadingTime(const OpenParams* params);
Ref<Scale> OpenParamsGetScale(const OpenParams* params);
bool OpenParamsGetActivateWhenLoaded(const OpenParams* params);
bool OpenParamsGetWebOnly(const OpenParams* params);

// Setters: the value and its marker.
void OpenParamsSetTitle(OpenParams* params, const WString& title);
void OpenParamsSetName(OpenParams* params, const WString& name);
// A negative (or NaN) margin becomes 0; sets the modified mark.
void OpenParamsSetOffsets(OpenParams* params, double left, double top, double right, double bottom);
// Taken only when 0 <= left, 0 <= top and the size is positive; false otherwise.
bool OpenParamsSetCutOut(OpenParams* params, const RectD& cut_out);
void OpenParamsSetInverted(OpenParams* params, bool inverted);
void OpenParamsSetAutoInvert(OpenParams* params, uint32_t mode);
// A multiple of 90 (negative ones too) is stored modulo 360, anything else as 0.
void OpenParamsSetRotation(OpenParams* params, int32_t degrees);
void OpenParamsSetMirrorH(OpenParams* params, bool mirrored);
void OpenParamsSetMirrorV(OpenParams* params, bool mirrored);
void OpenParamsSetUserId(OpenParams* params, const WString& user_id);
void OpenParamsSetPassword(OpenParams* params, const WString& password);
void OpenParamsSetCookie(OpenParams* params, const WString& cookie);
void OpenParamsSetMaxLoadingTime(OpenParams* params, uint32_t milliseconds);
void OpenParamsSetAllowSave(OpenParams* params, bool allowed);
void OpenParamsSetAllowPrint(OpenParams* params, bool allowed);
void OpenParamsSetScale(OpenParams* params, Scale* scale);
void OpenParamsSetActivateWhenLoaded(OpenParams* params, bool activate);
void OpenParamsSetWebOnly(OpenParams* params, bool web_only);

// The OPEN_ values of an open settings key. Load takes what the key holds
// (values out of range are ignored) and leaves the rest; loading is no
// change, so it leaves the modified mark as it was. Save writes every set
// value (never the loading limit) and answers false when a write failed.
void OpenParamsLoad(OpenParams* params, HKEY key);
bool OpenParamsSave(const OpenParams* params, HKEY key);
