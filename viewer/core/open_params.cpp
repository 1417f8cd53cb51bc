#include "viewer/core/open_params.h"

#include <cmath>
#include <cstdint>

#include "foundation/registry.h"

namespace {

constexpr wchar_t kOffsetLeft[] = L"OPEN_OFFSET_LEFT";
constexpr wchar_t kOffsetTop[] = L"OPEN_OFFSET_TOP";
constexpr wchar_t kOffsetRight[] = L"OPEN_OFFSET_RIGHT";
constexpr wchar_t kOffsetBottom[] = L"OPEN_OFFSET_BOTTOM";
constexpr wchar_t kInverted[] = L"OPEN_INVERTED";
constexpr wchar_t kMirrorH[] = L"OPEN_MIRROR_H";
constexpr wchar_t kMirrorV[] = L"OPEN_MIRROR_V";
constexpr wchar_t kAutoInvert[] = L"OPEN_AUTOINVERT";
constexpr wchar_t kRotation[] = L"OPEN_ROTATION";
constexpr wchar_t kMaxLoadingTime[] = L"OPEN_MAX_LOADING_TIME";

double NonNegative(double value) { return value > 0.0 ? value : 0.0; }  // NaN too becomes 0

bool HasText(const WString& text) { return WStrLength(text) != 0; }

template <class T>
void MergeMarked(T& value, bool& marker, const T& default_value, bool default_marker) {
    if (marker || !default_marker) return;
    value = default_value;
    marker = true;
}

}  // namespace

Ref<OpenParams> OpenParamsCreate() { return MakeRef<OpenParams>(); }

Ref<OpenParams> OpenParamsClone(const OpenParams* source) {
    Ref<OpenParams> clone = OpenParamsCreate();
    if (!source) return clone;
    OpenParams& target = *clone;
    target.title = source->title;
    target.name = source->name;
    target.margins_set = source->margins_set;
    target.margin_left = source->margin_left;
    target.margin_top = source->margin_top;
    target.margin_right = source->margin_right;
    target.margin_bottom = source->margin_bottom;
    target.cut_out = source->cut_out;
    target.inverted = source->inverted;
    target.inverted_set = source->inverted_set;
    target.auto_invert = source->auto_invert;
    target.auto_invert_set = source->auto_invert_set;
    target.rotation = source->rotation;
    target.rotation_set = source->rotation_set;
    target.mirror_h = source->mirror_h;
    target.mirror_h_set = source->mirror_h_set;
    target.mirror_v = source->mirror_v;
    target.mirror_v_set = source->mirror_v_set;
    target.user_id = source->user_id;
    target.password = source->password;
    target.cookie = source->cookie;
    target.allow_save = source->allow_save;
    target.allow_save_set = source->allow_save_set;
    target.allow_print = source->allow_print;
    target.allow_print_set = source->allow_print_set;
    target.allow_flag = source->allow_flag;
    target.allow_flag_set = source->allow_flag_set;
    target.modified = false;
    target.max_loading_time = source->max_loading_time;
    target.max_loading_time_set = source->max_loading_time_set;
    target.scale = source->scale;
    target.activate_when_loaded = source->activate_when_loaded;
    target.web_only = source->web_only;
    return clone;
}

void OpenParamsMergeDefaults(OpenParams* target, const OpenParams* defaults) {
    if (!target || !defaults) return;
    if (!HasText(target->title) && HasText(defaults->title)) target->title = defaults->title;
    if (!target->margins_set && defaults->margins_set) {
        target->margin_left = defaults->margin_left;
        target->margin_top = defaults->margin_top;
        target->margin_right = defaults->margin_right;
        target->margin_bottom = defaults->margin_bottom;
        target->margins_set = true;
        target->modified = true;
    }
    if (target->cut_out.size.width == 0.0) target->cut_out = defaults->cut_out;
    MergeMarked(target->inverted, target->inverted_set, defaults->inverted, defaults->inverted_set);
    MergeMarked(target->auto_invert, target->auto_invert_set, defaults->auto_invert,
                defaults->auto_invert_set);
    MergeMarked(target->rotation, target->rotation_set, defaults->rotation, defaults->rotation_set);
    MergeMarked(target->mirror_h, target->mirror_h_set, defaults->mirror_h, defaults->mirror_h_set);
    MergeMarked(target->mirror_v, target->mirror_v_set, defaults->mirror_v, defaults->mirror_v_set);
    MergeMarked(target->max_loading_time, target->max_loading_time_set, defaults->max_loading_time,
                defaults->max_loading_time_set);
    MergeMarked(target->allow_save, target->allow_save_set, defaults->allow_save, defaults->allow_save_set);
    MergeMarked(target->allow_print, target->allow_print_set, defaults->allow_print,
                defaults->allow_print_set);
    MergeMarked(target->allow_flag, target->allow_flag_set, defaults->allow_flag, defaults->allow_flag_set);
    if (!HasText(target->cookie)) target->cookie = defaults->cookie;
    if (!HasText(target->name)) target->name = defaults->name;
    // The password belongs to its user id: a request that names a user keeps
    // its own (even empty) password.
    if (!HasText(target->user_id) && HasText(defaults->user_id)) {
        target->user_id = defaults->user_id;
        target->password = defaults->password;
    }
    if (!target->scale) target->scale = defaults->scale;
}

Ref<OpenParams> OpenParamsCloneWithDefaults(const OpenParams* given, const OpenParams* defaults) {
    Ref<OpenParams> clone = OpenParamsClone(given);
    if (defaults) OpenParamsMergeDefaults(clone.get(), defaults);
    return clone;
}

WString OpenParamsGetTitle(const OpenParams* params) { return params ? params->title : WString(); }
WString OpenParamsGetName(const OpenParams* params) { return params ? params->name : WString(); }

bool OpenParamsGetOffsets(const OpenParams* params, double& left, double& top, double& right,
                          double& bottom) {
    left = top = right = bottom = 0.0;
    if (!params || !params->margins_set) return false;
    left = params->margin_left;
    top = params->margin_top;
    right = params->margin_right;
    bottom = params->margin_bottom;
    return true;
}

bool OpenParamsGetCutOut(const OpenParams* params, RectD& cut_out) {
    RectDInitEmpty(cut_out);
    if (!params || params->cut_out.size.width == 0.0) return false;
    cut_out = params->cut_out;
    return true;
}

bool OpenParamsGetInverted(const OpenParams* params) {
    return params && params->inverted_set && params->inverted;
}
uint32_t OpenParamsGetAutoInvert(const OpenParams* params) {
    return params && params->auto_invert_set ? params->auto_invert : 0;
}
uint32_t OpenParamsGetRotation(const OpenParams* params) {
    return params && params->rotation_set ? params->rotation : 0;
}
bool OpenParamsGetMirrorH(const OpenParams* params) {
    return params && params->mirror_h_set && params->mirror_h;
}
bool OpenParamsGetMirrorV(const OpenParams* params) {
    return params && params->mirror_v_set && params->mirror_v;
}
WString OpenParamsGetUserId(const OpenParams* params) { return params ? params->user_id : WString(); }
WString OpenParamsGetPassword(const OpenParams* params) { return params ? params->password : WString(); }
WString OpenParamsGetCookie(const OpenParams* params) { return params ? params->cookie : WString(); }
bool OpenParamsGetAllowSave(const OpenParams* params) {
    return !params || !params->allow_save_set || params->allow_save;
}
bool OpenParamsGetAllowPrint(const OpenParams* params) {
    return !params || !params->allow_print_set || params->allow_print;
}
bool OpenParamsGetAllowFlag(const OpenParams* params) {
    return !params || !params->allow_flag_set || params->allow_flag;
}
uint32_t OpenParamsGetMaxLoadingTime(const OpenParams* params) {
    return params && params->max_loading_time_set ? params->max_loading_time : 0;
}
Ref<Scale> OpenParamsGetScale(const OpenParams* params) { return params ? params->scale : nullptr; }
bool OpenParamsGetActivateWhenLoaded(const OpenParams* params) {
    return params && params->activate_when_loaded;
}
bool OpenParamsGetWebOnly(const OpenParams* params) { return params && params->web_only; }

void OpenParamsSetTitle(OpenParams* params, const WString& title) { params->title = title; }
void OpenParamsSetName(OpenParams* params, const WString& name) { params->name = name; }

void OpenParamsSetOffsets(OpenParams* params, double left, double top, double right, double bottom) {
    params->margin_left = NonNegative(left);
    params->margin_top = NonNegative(top);
    params->margin_right = NonNegative(right);
    params->margin_bottom = NonNegative(bottom);
    params->margins_set = true;
    params->modified = true;
}

bool OpenParamsSetCutOut(OpenParams* params, const RectD& cut_out) {
    const bool valid = cut_out.origin.x >= 0.0 && cut_out.origin.y >= 0.0 && cut_out.size.width > 0.0 &&
                       cut_out.size.height > 0.0 && std::isfinite(cut_out.origin.x + cut_out.size.width) &&
                       std::isfinite(cut_out.origin.y + cut_out.size.height);
    if (valid) params->cut_out = cut_out;
    return valid;
}

void OpenParamsSetInverted(OpenParams* params, bool inverted) {
    params->inverted = inverted;
    params->inverted_set = true;
}

void OpenParamsSetAutoInvert(OpenParams* params, uint32_t mode) {
    params->auto_invert = mode;
    params->auto_invert_set = true;
}

void OpenParamsSetRotation(OpenParams* params, int32_t degrees) {
    // A true modulo: -450 is a quarter turn to the right like 270.
    const int32_t turned = ((degrees % 360) + 360) % 360;
    params->rotation = turned % 90 == 0 ? static_cast<uint32_t>(turned) : 0;
    params->rotation_set = true;
}

void OpenParamsSetMirrorH(OpenParams* params, bool mirrored) {
    params->mirror_h = mirrored;
    params->mirror_h_set = true;
}

void OpenParamsSetMirrorV(OpenParams* params, bool mirrored) {
    params->mirror_v = mirrored;
    params->mirror_v_set = true;
}

void OpenParamsSetUserId(OpenParams* params, const WString& user_id) { params->user_id = user_id; }
void OpenParamsSetPassword(OpenParams* params, const WString& password) { params->password = password; }
void OpenParamsSetCookie(OpenParams* params, const WString& cookie) { params->cookie = cookie; }

void OpenParamsSetMaxLoadingTime(OpenParams* params, uint32_t milliseconds) {
    params->max_loading_time = milliseconds;
    params->max_loading_time_set = true;
}

void OpenParamsSetAllowSave(OpenParams* params, bool allowed) {
    params->allow_save = allowed;
    params->allow_save_set = true;
}

void OpenParamsSetAllowPrint(OpenParams* params, bool allowed) {
    params->allow_print = allowed;
    params->allow_print_set = true;
}

void OpenParamsSetScale(OpenParams* params, Scale* scale) { params->scale = Ref<Scale>(scale); }

void OpenParamsSetActivateWhenLoaded(OpenParams* params, bool activate) {
    params->activate_when_loaded = activate;
}

void OpenParamsSetWebOnly(OpenParams* params, bool web_only) { params->web_only = web_only; }

void OpenParamsLoad(OpenParams* params, HKEY key) {
    if (!params || !key) return;
    double margins[4] = {params->margin_left, params->margin_top, params->margin_right,
                         params->margin_bottom};
    const wchar_t* const margin_names[4] = {kOffsetLeft, kOffsetTop, kOffsetRight, kOffsetBottom};
    bool any_margin = false;
    for (int i = 0; i < 4; ++i) {
        double value = 0.0;
        if (!RegGetDouble(key, margin_names[i], value)) continue;
        margins[i] = NonNegative(value);
        any_margin = true;
    }
    if (any_margin) {
        params->margin_left = margins[0];
        params->margin_top = margins[1];
        params->margin_right = margins[2];
        params->margin_bottom = margins[3];
        params->margins_set = true;
    }

    bool flag = false;
    if (RegGetBool(key, kInverted, flag)) OpenParamsSetInverted(params, flag);
    if (RegGetBool(key, kMirrorH, flag)) OpenParamsSetMirrorH(params, flag);
    if (RegGetBool(key, kMirrorV, flag)) OpenParamsSetMirrorV(params, flag);

    int32_t number = 0;
    if (RegGetInt(key, kAutoInvert, number) && number >= 0 && number <= 2) {
        OpenParamsSetAutoInvert(params, static_cast<uint32_t>(number));
    }
    if (RegGetInt(key, kRotation, number)) OpenParamsSetRotation(params, number);
    // Stored in seconds, held in milliseconds; a limit beyond the u32 range
    // of milliseconds saturates rather than wrapping to a short one.
    if (RegGetInt(key, kMaxLoadingTime, number) && number >= 0) {
        const uint64_t milliseconds = static_cast<uint64_t>(number) * 1000u;
        OpenParamsSetMaxLoadingTime(
            params, milliseconds > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(milliseconds));
    }
}

bool OpenParamsSave(const OpenParams* params, HKEY key) {
    if (!params || !key) return false;
    bool ok = true;
    if (params->margins_set) {
        ok &= RegSetDouble(key, kOffsetLeft, params->margin_left);
        ok &= RegSetDouble(key, kOffsetTop, params->margin_top);
        ok &= RegSetDouble(key, kOffsetRight, params->margin_right);
        ok &= RegSetDouble(key, kOffsetBottom, params->margin_bottom);
    }
    if (params->inverted_set) ok &= RegSetBool(key, kInverted, params->inverted);
    if (params->mirror_h_set) ok &= RegSetBool(key, kMirrorH, params->mirror_h);
    if (params->mirror_v_set) ok &= RegSetBool(key, kMirrorV, params->mirror_v);
    if (params->auto_invert_set) ok &= RegSetInt(key, kAutoInvert, static_cast<int32_t>(params->auto_invert));
    if (params->rotation_set) ok &= RegSetInt(key, kRotation, static_cast<int32_t>(params->rotation));
    return ok;
}
