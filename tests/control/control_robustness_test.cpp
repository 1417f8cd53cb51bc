// Robustness of the control and its objects as careless or hostile scripts
// call them: a seeded generator calls every member of IPlovexCtrl, IDocument
// and IConverter, as the library's type library declares them, through
// IDispatch::Invoke with wrong VARIANT types, empty and huge strings,
// extreme numbers, ids of closed documents, objects whose document was
// closed and objects that were never bound. Every call must
// answer (S_OK with a value of the declared type, or one of the errors that
// automation defines for bad arguments), the library must be free to unload
// at the end, and files may appear only in the folder named as a target.
//
// CONTROL_ROBUSTNESS_SEED and CONTROL_ROBUSTNESS_COUNT choose a longer or
// different run; without them the run is the same every time.
#include <windows.h>
// after windows.h, which they need
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "tests/control/test_container.h"
#include "tests/viewer/documents/download_server.h"

namespace {

using namespace control_test;

constexpr uint64_t kDefaultSeed = 0x5EED2026;
constexpr long kDefaultCount = 2000;
constexpr size_t kHugeLength = 1 << 20;

uint64_t EnvNumber(const char* name, uint64_t fallback) {
    const char* text = std::getenv(name);
    if (!text || !*text) return fallback;
    return std::strtoull(text, nullptr, 0);
}

// The standard fixes this engine's sequence, so that a seed gives the same
// calls with every standard library; the picks are ours for the same reason.
class Random {
  public:
    explicit Random(uint64_t seed) : engine_(seed) {}
    size_t Pick(size_t count) { return static_cast<size_t>(engine_() % count); }
    bool Chance(int percent) { return static_cast<int>(Pick(100)) < percent; }

  private:
    std::mt19937_64 engine_;
};

// Every file in a folder (Windows path), by full name, and below it when
// asked.
void ListFiles(const std::wstring& folder, std::set<std::wstring>& out, bool recursive = true) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (recursive) ListFiles(path, out);
        } else {
            out.insert(path);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// What a parameter takes; a text that names a file to write is a target.
enum class Param { kText, kTarget, kAny, kLong, kBool, kDouble };

// One member as the type library describes its dispatch side.
struct Member {
    std::wstring name;
    DISPID id = DISPID_UNKNOWN;
    WORD kind = DISPATCH_METHOD;  // INVOKEKIND, whose values are the DISPATCH_ flags
    std::vector<Param> params = {};
    VARTYPE answer = VT_VOID;  // VT_VOID when nothing comes back
    bool may_refuse = false;   // E_INVALIDARG
    bool may_fail = false;     // E_FAIL
};

// The only failures the contract names: an empty file name or an invalid
// property value is an invalid argument, a converter without document fails.
const std::set<std::wstring> kMayRefuse = {L"IPlovexCtrl.ConvertDoc", L"IConverter.Convert",
                                           L"IConverter.TargetType=", L"IConverter.Compression=",
                                           L"IConverter.Quality=",    L"IConverter.Layout="};
const std::set<std::wstring> kMayFail = {L"IConverter.Convert"};

std::wstring NameOf(ITypeInfo* info, MEMBERID id) {
    BSTR name = nullptr;
    info->GetDocumentation(id, &name, nullptr, nullptr, nullptr);
    std::wstring result = name ? name : L"";
    SysFreeString(name);
    return result;
}

// The members of an interface as the library's own type library declares
// them, so that the calls follow the interface.
std::vector<Member> ReadMembers(ITypeLib* library, REFIID iid) {
    std::vector<Member> members;
    ComPtr<ITypeInfo> info;
    TYPEATTR* attributes = nullptr;
    if (FAILED(library->GetTypeInfoOfGuid(iid, info.Put())) || FAILED(info->GetTypeAttr(&attributes)))
        return members;
    const std::wstring interface_name = NameOf(info.get(), MEMBERID_NIL);
    for (UINT i = 0; i < attributes->cFuncs; ++i) {
        FUNCDESC* function = nullptr;
        if (FAILED(info->GetFuncDesc(i, &function))) continue;
        // IUnknown's and IDispatch's own members are restricted.
        if (!(function->wFuncFlags & FUNCFLAG_FRESTRICTED)) {
            BSTR names[16] = {};
            UINT count = 0;
            info->GetNames(function->memid, names, 16, &count);
            Member member{names[0] ? names[0] : L"", function->memid, static_cast<WORD>(function->invkind)};
            for (SHORT p = 0; p < function->cParams; ++p) {
                const VARTYPE type = function->lprgelemdescParam[p].tdesc.vt;
                const bool target = p + 1u < count && names[p + 1] && wcsstr(names[p + 1], L"Target");
                if (type == VT_BSTR)
                    member.params.push_back(target ? Param::kTarget : Param::kText);
                else if (type == VT_VARIANT)
                    member.params.push_back(Param::kAny);
                else if (type == VT_I4 || type == VT_INT)
                    member.params.push_back(Param::kLong);
                else if (type == VT_BOOL)
                    member.params.push_back(Param::kBool);
                else if (type == VT_R8)
                    member.params.push_back(Param::kDouble);
                else
                    ADD_FAILURE() << "a parameter of type " << type << " the generator cannot fill";
            }
            for (UINT n = 0; n < count; ++n) SysFreeString(names[n]);
            member.answer = function->elemdescFunc.tdesc.vt;
            // "IConverter.Quality=" for the put of a property.
            const std::wstring key =
                interface_name + L"." + member.name + (function->invkind == INVOKE_PROPERTYPUT ? L"=" : L"");
            member.may_refuse = kMayRefuse.count(key) > 0;
            member.may_fail = kMayFail.count(key) > 0;
            members.push_back(std::move(member));
        }
        info->ReleaseFuncDesc(function);
    }
    info->ReleaseTypeAttr(attributes);
    return members;
}

// One object the generator calls.
struct Target {
    const char* what;
    const std::vector<Member>* members;
    ComPtr<IDispatch> dispatch;
};

// The arguments of one call and the storage their references point to;
// everything is freed after the call.
class Arguments {
  public:
    Arguments() = default;
    Arguments(const Arguments&) = delete;
    Arguments& operator=(const Arguments&) = delete;
    ~Arguments() {
        for (VARIANT& value : values) VariantClear(&value);
        for (VARIANT& value : referenced_) VariantClear(&value);
        for (BSTR text : referenced_texts_) SysFreeString(text);
    }
    VARIANT& Add() {
        values.emplace_back();
        VariantInit(&values.back());
        return values.back();
    }
    LONG* KeepLong(LONG number) { return &referenced_longs_.emplace_back(number); }
    BSTR* KeepText(BSTR text) { return &referenced_texts_.emplace_back(text); }
    VARIANT* KeepVariant(const VARIANT& value) { return &referenced_.emplace_back(value); }

    std::vector<VARIANT> values;  // in declared order; reversed for the call

  private:
    std::deque<LONG> referenced_longs_;
    std::deque<BSTR> referenced_texts_;
    std::deque<VARIANT> referenced_;
};

class Generator {
  public:
    Generator(uint64_t seed, std::wstring document, std::wstring target_folder, std::vector<long> ids)
        : random_(seed),
          document_(std::move(document)),
          target_folder_(std::move(target_folder)),
          ids_(std::move(ids)),
          huge_(kHugeLength, L'x') {}

    Random& random() { return random_; }

    // An argument for a parameter of that kind; `wrong` is set when its type
    // is not the declared one.
    void Fill(Param param, Arguments& arguments, std::vector<Target>& targets, bool& wrong) {
        VARIANT& value = arguments.Add();
        // A converter's target only ever names the test's folder: a number
        // or a flag made into text would be a file in the current folder.
        if (param == Param::kTarget) {
            if (FillTarget(value, arguments)) wrong = true;
            return;
        }
        if (random_.Chance(30) && FillWrong(param, value, arguments, targets)) {
            wrong = true;
            return;
        }
        VariantClear(&value);
        FillProper(param == Param::kAny ? (random_.Chance(50) ? Param::kText : Param::kLong) : param, value);
    }

    void AddId(long id) {
        if (id >= 0 && ids_.size() < 64) ids_.push_back(id);
    }

  private:
    void FillProper(Param param, VARIANT& value) {
        if (param == Param::kText) {
            SetText(value, PickText());
        } else if (param == Param::kLong) {
            value.vt = VT_I4;
            value.lVal = PickLong();
        } else if (param == Param::kBool) {
            value.vt = VT_BOOL;
            // 1 is no VARIANT_BOOL, yet scripts in other languages pass it.
            const VARIANT_BOOL flags[] = {1, VARIANT_TRUE, VARIANT_FALSE};
            value.boolVal = flags[random_.Pick(3)];
        } else {
            value.vt = VT_R8;
            value.dblVal = PickDouble();
        }
    }
    void SetText(VARIANT& value, const std::wstring& text) {
        value.vt = VT_BSTR;
        value.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    }
    // True when the value is no text (VT_EMPTY or VT_NULL).
    bool FillTarget(VARIANT& value, Arguments& arguments) {
        const size_t choice = random_.Pick(8);
        if (choice < 2) {
            value.vt = choice == 0 ? VT_EMPTY : VT_NULL;
            return true;
        }
        const std::wstring names[] = {L"", target_folder_ + L"\\" + huge_ + L".tif",
                                      target_folder_ + L"\\no such folder\\out.tif"};
        const std::wstring name = choice < 5 ? names[choice - 2]
                                             : target_folder_ + L"\\out" + std::to_wstring(++targets_named_) +
                                                   (random_.Chance(50) ? L".tif" : L".pdf");
        if (random_.Chance(20)) {
            value.vt = VT_BYREF | VT_BSTR;
            value.pbstrVal = arguments.KeepText(SysAllocString(name.c_str()));
        } else {
            SetText(value, name);
        }
        return false;
    }
    // A value of some other type; false when the pick fits the parameter
    // after all (then the caller fills a proper one).
    bool FillWrong(Param param, VARIANT& value, Arguments& arguments, std::vector<Target>& targets) {
        const size_t choice = random_.Pick(11);
        if (choice >= 4 && choice <= 6) {
            // A text (a number in text among them), a number or a double.
            const Param other = choice == 4 ? Param::kText : choice == 5 ? Param::kLong : Param::kDouble;
            FillProper(other, value);
            return other != param && (param != Param::kAny || other == Param::kDouble);
        }
        if (choice == 1) value.vt = VT_NULL;
        if (choice == 2 || choice == 3) {
            // No object, or an object where a value is wanted: its default
            // value is asked.
            value.vt = VT_DISPATCH;
            value.pdispVal = choice == 2 ? nullptr : targets[random_.Pick(targets.size())].dispatch.get();
            if (value.pdispVal) value.pdispVal->AddRef();
        }
        if (choice == 7) {
            value.vt = VT_BYREF | VT_I4;
            value.plVal = arguments.KeepLong(PickLong());
        }
        if (choice == 8) {
            value.vt = VT_BYREF | VT_BSTR;
            value.pbstrVal = arguments.KeepText(SysAllocString(PickText().c_str()));
        }
        if (choice == 9) {
            VARIANT inner;
            VariantInit(&inner);
            inner.vt = VT_I4;
            inner.lVal = PickLong();
            value.vt = VT_BYREF | VT_VARIANT;
            value.pvarVal = arguments.KeepVariant(inner);
        }
        if (choice == 10) {
            // What a script passes for a left-out optional argument.
            value.vt = VT_ERROR;
            value.scode = DISP_E_PARAMNOTFOUND;
        }
        return true;  // choice 0 leaves VT_EMPTY
    }
    // Texts for any text parameter: the information names among them.
    std::wstring PickText() {
        const std::wstring texts[] = {L"",       huge_,          target_folder_ + L"\\missing.bmp",
                                      L"7",      L"pdf",         L"-ti:Title -zz:Bad",
                                      document_, L"DO_OPENFILE", L"do_closefile",
                                      document_, L"DO_CLOSEALL"};
        return texts[random_.Pick(std::size(texts))];
    }
    long PickLong() {
        static const long kNumbers[] = {
            LONG_MIN, LONG_MIN + 1, -720, -90, -1,  0,   1,    2,   3,     4,     5,       6,
            7,        90,           100,  101, 270, 450, 1024, 270, 65535, 65536, LONG_MAX};
        if (!ids_.empty() && random_.Chance(40)) return ids_[random_.Pick(ids_.size())];
        return kNumbers[random_.Pick(std::size(kNumbers))];
    }
    double PickDouble() {
        constexpr double kInfinity = std::numeric_limits<double>::infinity();
        static const double kNumbers[] = {0.0,   -0.0,   -1.0,   0.5,       2.0,        25.0, -25.0,
                                          1e300, -1e300, 1e-300, kInfinity, -kInfinity, NAN};
        return kNumbers[random_.Pick(std::size(kNumbers))];
    }

    Random random_;
    std::wstring document_;
    std::wstring target_folder_;
    std::vector<long> ids_;
    std::wstring huge_;
    long targets_named_ = 0;
};

// An answer of the type the member declares.
bool IsAnswerType(VARTYPE answer, const VARIANT& value) {
    switch (answer) {
        case VT_I4:
        case VT_INT:
            return value.vt == VT_I4;
        case VT_BOOL:
            return value.vt == VT_BOOL && (value.boolVal == VARIANT_TRUE || value.boolVal == VARIANT_FALSE);
        case VT_BSTR:
        case VT_R8:
            return value.vt == answer;
        case VT_PTR:  // an interface: an object, or nothing
            return value.vt == VT_DISPATCH || value.vt == VT_EMPTY;
        case VT_VARIANT:  // the information: an id, or nothing
            return value.vt == VT_EMPTY || value.vt == VT_I4;
        default:
            return value.vt == VT_EMPTY;
    }
}

// The errors automation defines for arguments it cannot pass.
bool IsArgumentError(HRESULT result) {
    return result == DISP_E_TYPEMISMATCH || result == DISP_E_OVERFLOW || result == DISP_E_BADVARTYPE ||
           result == DISP_E_PARAMNOTFOUND;
}

// The errors for a call that does not fit the member's shape.
bool IsShapeError(HRESULT result) {
    // An argument too many for a property asks it for an element.
    return result == DISP_E_BADPARAMCOUNT || result == DISP_E_MEMBERNOTFOUND ||
           result == DISP_E_NOTACOLLECTION || result == DISP_E_PARAMNOTFOUND || result == DISP_E_TYPEMISMATCH;
}

struct Counts {
    long cases = 0;
    long answered = 0;
    long refused = 0;
    long wrong_answers = 0;
};

// Calls one member of one target with generated arguments and judges the
// answer; a message for every fault.
void CallOnce(Generator& generator, std::vector<Target>& targets, Counts& counts, long index) {
    Random& random = generator.random();
    Target& target = targets[random.Pick(targets.size())];
    const std::vector<Member>& members = *target.members;
    const Member& member = members[random.Pick(members.size())];

    Arguments arguments;
    bool wrong_type = false;
    for (Param param : member.params) generator.Fill(param, arguments, targets, wrong_type);
    bool misshapen = false;
    if (random.Chance(4)) {
        // One argument too many or too few.
        misshapen = true;
        if (arguments.values.empty() || random.Chance(50)) {
            VARIANT& extra = arguments.Add();
            extra.vt = VT_I4;
            extra.lVal = 1;
        } else {
            VariantClear(&arguments.values.back());
            arguments.values.pop_back();
        }
    }
    WORD flags = member.kind;
    if (member.kind != DISPATCH_PROPERTYPUT && random.Chance(50))
        flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;  // as VBScript
    if (random.Chance(3)) {
        misshapen = true;
        flags = member.kind == DISPATCH_PROPERTYPUT ? DISPATCH_METHOD : DISPATCH_PROPERTYPUT;
    }

    std::vector<VARIANT> positional(arguments.values.rbegin(), arguments.values.rend());
    DISPID put_id = DISPID_PROPERTYPUT;
    DISPPARAMS params = {positional.data(), nullptr, static_cast<UINT>(positional.size()), 0};
    if (flags == DISPATCH_PROPERTYPUT && !positional.empty()) {
        params.rgdispidNamedArgs = &put_id;
        params.cNamedArgs = 1;
    }
    // A statement that ignores the answer passes no result.
    const bool wants_result = flags != DISPATCH_PROPERTYPUT && !random.Chance(15);
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception{};
    UINT argument_error = 0;
    const HRESULT invoked =
        target.dispatch->Invoke(member.id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                wants_result ? &result : nullptr, &exception, &argument_error);
    ++counts.cases;
    const std::string where = "call " + std::to_string(index) + ": " + target.what + " " +
                              std::string(member.name.begin(), member.name.end()) + " flags " +
                              std::to_string(flags);

    if (invoked == S_OK) {
        ++counts.answered;
        if (wants_result && !misshapen && !IsAnswerType(member.answer, result)) {
            ++counts.wrong_answers;
            ADD_FAILURE() << where << ": answer of type " << result.vt;
        }
        if (result.vt == VT_I4 && (member.name == L"FileOpen" || member.name == L"GetInfo"))
            generator.AddId(result.lVal);
    } else if (invoked == DISP_E_EXCEPTION) {
        // The member itself failed: only the failures its contract names.
        ++counts.refused;
        // A call with the other flag reaches the member's twin (the put
        // of a property that was to be read): judged by that one's contract.
        const Member* reached = &member;
        for (const Member& other : members) {
            if (other.id == member.id &&
                (other.kind == DISPATCH_PROPERTYPUT) == (flags == DISPATCH_PROPERTYPUT))
                reached = &other;
        }
        const HRESULT code = exception.scode;
        const bool named =
            (reached->may_refuse && code == E_INVALIDARG) || (reached->may_fail && code == E_FAIL);
        if (!named) ADD_FAILURE() << where << ": failed with " << std::hex << code;
        // The answer was set to its failure value before the member
        // refused, and automation hands that on.
        const bool failure_value =
            result.vt == VT_EMPTY ||
            (member.answer == VT_BOOL && result.vt == VT_BOOL && result.boolVal == VARIANT_FALSE) ||
            (member.answer == VT_PTR && result.vt == VT_DISPATCH && !result.pdispVal);
        if (!failure_value) ADD_FAILURE() << where << ": failure with answer of type " << result.vt;
    } else {
        ++counts.refused;
        const bool allowed = (wrong_type && IsArgumentError(invoked)) || (misshapen && IsShapeError(invoked));
        if (!allowed) {
            ADD_FAILURE() << where << ": answered " << std::hex << invoked
                          << (wrong_type ? " (wrong type)" : "") << (misshapen ? " (misshapen)" : "");
        }
    }
    for (BSTR text : {exception.bstrSource, exception.bstrDescription, exception.bstrHelpFile})
        SysFreeString(text);
    VariantClear(&result);
}

// Pumps what is waiting, without blocking: the viewer loads and paints
// between a page's handlers.
void PumpPending() {
    MSG message;
    for (int i = 0; i < 200 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

ComPtr<IDispatch> TakeObject(VARIANT value) {
    if (value.vt == VT_DISPATCH) return ComPtr<IDispatch>::Adopt(value.pdispVal);
    VariantClear(&value);
    return nullptr;
}

// The members of the three interfaces, from the type library the control
// library carries and registers.
struct Interfaces {
    Interfaces() {
        ComPtr<ITypeLib> library;
        if (FAILED(LoadTypeLibEx(ControlLibraryPath().c_str(), REGKIND_NONE, library.Put()))) return;
        control = ReadMembers(library.get(), IID_IPlovexCtrl);
        document = ReadMembers(library.get(), IID_IDocument);
        converter = ReadMembers(library.get(), IID_IConverter);
    }
    bool complete() const { return !control.empty() && !document.empty() && !converter.empty(); }
    std::vector<Member> control, document, converter;
};

TEST(ControlRobustness, GeneratedCallsAnswerAndLeaveNothingBehind) {
    const uint64_t seed = EnvNumber("CONTROL_ROBUSTNESS_SEED", kDefaultSeed);
    const long count = static_cast<long>(EnvNumber("CONTROL_ROBUSTNESS_COUNT", kDefaultCount));
    const std::string dir = MakeScratchDir("control_robustness");
    ASSERT_TRUE(WriteHostFile(dir + "/red.bmp", SolidBmp(40, 30, 0, 0, 255)));
    ASSERT_TRUE(WriteHostFile(dir + "/blue.bmp", SolidBmp(30, 40, 255, 0, 0)));
    ASSERT_TRUE(CreateDirectoryW(WindowsPathOf(dir + "/out").c_str(), nullptr));
    const std::wstring folder = WindowsPathOf(dir);
    const std::wstring targets_folder = WindowsPathOf(dir + "/out");
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    std::set<std::wstring> before;
    ListFiles(folder, before);
    ListFiles(current, before, false);
    const Interfaces interfaces;
    ASSERT_TRUE(interfaces.complete());

    // The library stays loaded past the hosted control, so that its count
    // can be read once everything is given back.
    ControlLibrary library;
    ASSERT_TRUE(library.loaded());
    Counts counts;
    {
        HostedControl hosted;
        ASSERT_TRUE(hosted.running());
        ComPtr<IDispatch> control;
        ASSERT_EQ(hosted.automation->QueryInterface(IID_IDispatch, control.PutVoid()), S_OK);

        // Started twice: the second start keeps the running viewer.
        EXPECT_EQ(Call(control.get(), L"StartUp").vt, VT_EMPTY);
        ASSERT_TRUE(hosted.running());

        // A document that stays open and one that is closed, with the
        // objects of both.
        const VARIANT open =
            Call(control.get(), L"FileOpen", {Text(folder + L"\\red.bmp"), Text(L""), Text(L"")});
        ASSERT_EQ(open.vt, VT_I4);
        const long open_id = open.lVal;
        const VARIANT closed =
            Call(control.get(), L"FileOpen", {Text(folder + L"\\blue.bmp"), Text(L""), Text(L"")});
        ASSERT_EQ(closed.vt, VT_I4);
        const long closed_id = closed.lVal;
        ASSERT_TRUE(WaitForPages(hosted.automation.get(), open_id, 1));
        ASSERT_TRUE(WaitForPages(hosted.automation.get(), closed_id, 1));

        std::vector<Target> targets;
        targets.push_back({"control", &interfaces.control, control});
        auto add = [&](const char* what, const std::vector<Member>& members, ComPtr<IDispatch> object) {
            ASSERT_TRUE(object) << what;
            targets.push_back({what, &members, std::move(object)});
        };
        for (long id : {open_id, closed_id}) {
            const bool is_open = id == open_id;
            ComPtr<IDispatch> document = TakeObject(Call(control.get(), L"GetDocument", {Long(id)}));
            ComPtr<IDispatch> page = TakeObject(Call(document.get(), L"GetSubDoc", {Long(0)}));
            ComPtr<IDispatch> kept = TakeObject(Call(document.get(), L"Convert", {Flag(true)}));
            ComPtr<IDispatch> plain = TakeObject(Call(document.get(), L"Convert", {Flag(false)}));
            add(is_open ? "document" : "closed document", interfaces.document, document);
            add(is_open ? "page" : "closed page", interfaces.document, page);
            add(is_open ? "converter with view" : "closed converter with view", interfaces.converter, kept);
            add(is_open ? "converter" : "closed converter", interfaces.converter, plain);
        }
        add("converter of a file", interfaces.converter,
            TakeObject(Call(control.get(), L"ConvertDoc", {Text(folder + L"\\red.bmp")})));
        add("unbound document", interfaces.document, library.CreateObject(CLSID_Document));
        add("unbound converter", interfaces.converter, library.CreateObject(CLSID_Converter));
        ASSERT_FALSE(HasFatalFailure());

        EXPECT_TRUE(IsTrue(Call(control.get(), L"FileClose", {Long(closed_id)})));
        ASSERT_TRUE(
            WaitFor([&] { return !TakeObject(Call(control.get(), L"GetDocument", {Long(closed_id)})); }));
        // A closed id answers the failure values.
        EXPECT_TRUE(IsFalse(Call(control.get(), L"FileClose", {Long(closed_id)})));
        EXPECT_TRUE(IsFalse(Call(control.get(), L"SetPage", {Long(closed_id), Long(0)})));

        Generator generator(seed, folder + L"\\red.bmp", targets_folder, {open_id, closed_id});
        for (long i = 0; i < count; ++i) {
            CallOnce(generator, targets, counts, i);
            PumpPending();
            // A run that lost the viewer to a generated Shutdown starts it
            // again now and then, so that later calls reach it.
            if (i % 50 == 49) Call(control.get(), L"StartUp");
        }

        // Stopped twice and started twice, the viewer runs again.
        Call(control.get(), L"Shutdown");
        Call(control.get(), L"Shutdown");
        EXPECT_FALSE(hosted.running());
        Call(control.get(), L"StartUp");
        Call(control.get(), L"StartUp");
        EXPECT_TRUE(hosted.running());
        Call(control.get(), L"FileCloseAll");
        targets.clear();
    }
    EXPECT_EQ(library.can_unload(), S_OK) << "a reference was kept";

    std::set<std::wstring> after;
    ListFiles(folder, after);
    ListFiles(current, after, false);
    long unasked = 0;
    for (const std::wstring& path : after) {
        if (before.count(path) || path.rfind(targets_folder + L"\\", 0) == 0) continue;
        ++unasked;
        ADD_FAILURE() << "unasked file " << std::string(path.begin(), path.end());
    }
    std::printf(
        "control robustness: seed %llu, %ld cases, %ld answered, %ld refused, %ld wrong answers, "
        "%ld unasked files, unload %s\n",
        static_cast<unsigned long long>(seed), counts.cases, counts.answered, counts.refused,
        counts.wrong_answers, unasked, library.can_unload() == S_OK ? "free" : "held");
}

// The container lets go of the control while a document still loads, and
// the script keeps a document and a converter past the control: they answer
// failure values or write only where asked, and give everything back.
TEST(ControlRobustness, ContainerReleasedDuringALoad) {
    const std::string dir = MakeScratchDir("control_robustness_release");
    ASSERT_TRUE(WriteHostFile(dir + "/red.bmp", SolidBmp(40, 30, 0, 0, 255)));
    ASSERT_TRUE(CreateDirectoryW(WindowsPathOf(dir + "/out").c_str(), nullptr));
    const std::wstring red = WindowsPathOf(dir + "/red.bmp");
    const Interfaces interfaces;
    ASSERT_TRUE(interfaces.complete());
    ControlLibrary library;
    ASSERT_TRUE(library.loaded());
    ComPtr<IDispatch> document;
    ComPtr<IDispatch> converter;
    {
        HostedControl hosted;
        ASSERT_TRUE(hosted.running());
        ComPtr<IDispatch> control;
        ASSERT_EQ(hosted.automation->QueryInterface(IID_IDispatch, control.PutVoid()), S_OK);
        const VARIANT open = Call(control.get(), L"FileOpen", {Text(red), Text(L""), Text(L"")});
        ASSERT_EQ(open.vt, VT_I4);
        ASSERT_TRUE(WaitForPages(hosted.automation.get(), open.lVal, 1));
        document = TakeObject(Call(control.get(), L"GetDocument", {Long(open.lVal)}));
        ASSERT_TRUE(document);
        converter = TakeObject(Call(document.get(), L"Convert", {Flag(true)}));
        ASSERT_TRUE(converter);
        // A second load still on its way when the container closes.
        Call(control.get(), L"FileOpen", {Text(red), Text(L""), Text(L"")});
    }
    EXPECT_EQ(library.can_unload(), S_FALSE) << "the script's objects hold the library";
    for (const Member& member : interfaces.document) {
        if (!member.params.empty()) continue;
        VARIANT answer = Call(document.get(), member.name.c_str(), {}, member.kind);
        EXPECT_TRUE(IsAnswerType(member.answer, answer)) << member.id;
        VariantClear(&answer);
    }
    EXPECT_TRUE(IsFalse(Call(document.get(), L"SetInverted", {Flag(true)})));
    EXPECT_TRUE(IsFalse(Call(document.get(), L"Zoom", {Long(2)})));
    HRESULT invoked = E_FAIL;
    VARIANT done = Call(converter.get(), L"Convert", {Text(WindowsPathOf(dir + "/out/after.tif"))},
                        DISPATCH_METHOD, &invoked);
    EXPECT_TRUE(invoked == S_OK || invoked == DISP_E_EXCEPTION) << std::hex << invoked;
    EXPECT_TRUE(done.vt == VT_BOOL || done.vt == VT_EMPTY);
    converter.Reset();
    document.Reset();
    EXPECT_TRUE(WaitFor([&] { return library.can_unload() == S_OK; })) << "a reference was kept";
}

// A container closes the control while its document still downloads and
// frees the unused libraries, as a browser does when the user leaves the
// page: the library stays mapped until the load worker has ended, then
// goes. Before, it went at once and the worker returned into nothing.
TEST(ControlRobustness, LibraryOutlivesTheDownloadOfAClosedControl) {
    DownloadServer server;
    ASSERT_TRUE(server.Start("control_unload")) << "the tests' HTTP server did not start";
    // The worker waits about two seconds inside each read of the crawl.
    ASSERT_TRUE(WriteHostFile(server.Document("slow.tif"), std::vector<uint8_t>(1 << 20, 0x49)));
    OleInitialize(nullptr);
    {
        ControlLibrary registrar;
        ASSERT_TRUE(registrar.loaded());
        ASSERT_EQ(registrar.register_server(), S_OK);
    }
    // Loaded by COM alone from here (a worker of an earlier case may still
    // hold it for a moment).
    const wchar_t* const module_name = L"PLXAC529.dll";
    ASSERT_TRUE(WaitFor([&] { return GetModuleHandleW(module_name) == nullptr; }));
    RegisterTestWindowClass(L"ControlUnloadHost", DefWindowProcW);
    const uint32_t threads_before = ProcessThreadCount();
    HWND host = CreateWindowExW(0, L"ControlUnloadHost", L"host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0,
                                600, 500, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(host, nullptr);
    {
        Site site(host);
        ComPtr<IOleObject> control;
        ASSERT_EQ(CoCreateInstance(CLSID_PlovexCtrl, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                   control.PutVoid()),
                  S_OK);
        ASSERT_EQ(control->SetClientSite(&site), S_OK);
        RECT rect = {0, 0, 400, 300};
        ASSERT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, host, &rect), S_OK);
        ComPtr<IPlovexCtrl> automation;
        ASSERT_EQ(control->QueryInterface(IID_IPlovexCtrl, automation.PutVoid()), S_OK);
        long id = -1;
        BSTR url = SysAllocString(server.Url("/crawl/slow.tif").c_str());
        EXPECT_EQ(automation->FileOpen(url, nullptr, nullptr, &id), S_OK);
        SysFreeString(url);
        EXPECT_GE(id, 0);
        EXPECT_TRUE(WaitFor([&] { return server.Requested("/crawl/slow.tif"); }));
        automation.Reset();
        CloseControl(control);
    }
    DestroyWindow(host);
    // Until the worker has ended (it notices the cancel after its read).
    EXPECT_TRUE(WaitFor([&] {
        CoFreeUnusedLibraries();
        return ProcessThreadCount() <= threads_before && GetModuleHandleW(module_name) == nullptr;
    })) << "the worker did not end, or the library stayed loaded after it";
    {
        ControlLibrary registrar;
        EXPECT_EQ(registrar.unregister_server(), S_OK);
    }
    OleUninitialize();
    server.Stop();
}

// Faults while a window ends: the system swallows them inside window
// procedures, so the test counts them as they are raised.
LONG g_access_violations = 0;

LONG CALLBACK CountAccessViolation(EXCEPTION_POINTERS* exception) {
    if (exception->ExceptionRecord->ExceptionCode == EXCEPTION_ACCESS_VIOLATION)
        InterlockedIncrement(&g_access_violations);
    return EXCEPTION_CONTINUE_SEARCH;
}

// A container that releases the control without closing it and then
// destroys its window: the window's end shuts the viewer down, and the
// drop target's revocation gives up the control's last reference in the
// middle of it. The tests' heap fills freed blocks (tools/wine-env), so a
// shutdown that went on in a freed control would fault.
TEST(ControlRobustness, ReleasedWithoutCloseThenTheWindowEnds) {
    OleInitialize(nullptr);
    ControlLibrary library;
    ASSERT_TRUE(library.loaded());
    RegisterTestWindowClass(L"ControlReleaseHost", DefWindowProcW);
    HWND host = CreateWindowExW(0, L"ControlReleaseHost", L"host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0,
                                0, 600, 500, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(host, nullptr);
    Site site(host);
    {
        ComPtr<IOleObject> control = ActivateControl(library, site, host);
        ASSERT_TRUE(control);
        ASSERT_NE(GetWindow(ControlWindow(control.get()), GW_CHILD), nullptr);
    }
    EXPECT_EQ(library.can_unload(), S_FALSE) << "the drop target holds the control";
    g_access_violations = 0;
    void* handler = AddVectoredExceptionHandler(1, CountAccessViolation);
    ASSERT_NE(handler, nullptr);
    DestroyWindow(host);
    RemoveVectoredExceptionHandler(handler);
    EXPECT_EQ(g_access_violations, 0) << "the shutdown went on in a freed control";
    EXPECT_EQ(site.references, 0u);
    EXPECT_EQ(library.can_unload(), S_OK);
    OleUninitialize();
}

}  // namespace
