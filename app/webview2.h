#pragma once

// Our own declarations of the WebView2 COM interfaces that the window uses. Each interface is a
// C-style struct whose first member points to a table of function pointers in the runtime's
// slot order; slots we never call are kept as untyped placeholders so that every used slot sits
// at its published byte offset, which the static_asserts below pin. Interfaces that derive from
// another one begin their table with the base's whole table.

#include <windows.h>

#include <eventtoken.h>
#include <unknwn.h>

#include <cstddef>

namespace hub::webview {

struct ICoreWebView2;
struct ICoreWebView2_3;
struct ICoreWebView2Environment;
struct ICoreWebView2Controller2;
struct ICoreWebView2Controller;
struct ICoreWebView2Settings;
struct ICoreWebView2NavigationStartingEventArgs;
struct ICoreWebView2NewWindowRequestedEventArgs;
struct ICoreWebView2WebMessageReceivedEventArgs;
struct ICoreWebView2CreateCoreWebView2ControllerCompletedHandler;
struct ICoreWebView2NavigationStartingEventHandler;
struct ICoreWebView2WebMessageReceivedEventHandler;
struct ICoreWebView2NewWindowRequestedEventHandler;

// Alpha in the low byte.
struct COREWEBVIEW2_COLOR {
    BYTE A;
    BYTE R;
    BYTE G;
    BYTE B;
};

enum COREWEBVIEW2_HOST_RESOURCE_ACCESS_KIND : int {
    COREWEBVIEW2_HOST_RESOURCE_ACCESS_KIND_DENY = 0,
    COREWEBVIEW2_HOST_RESOURCE_ACCESS_KIND_ALLOW = 1,
    COREWEBVIEW2_HOST_RESOURCE_ACCESS_KIND_DENY_CORS = 2,
};

using Slot = void*; // a slot we never call

// The three IUnknown slots of an interface whose methods take `Self*` as `this` (members, not a
// base class, so that every table stays standard-layout and offsetof applies).
#define HUB_UNKNOWN_SLOTS(Self)                                                                    \
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(Self*, REFIID, void**);                             \
    ULONG(STDMETHODCALLTYPE* AddRef)(Self*);                                                       \
    ULONG(STDMETHODCALLTYPE* Release)(Self*)

struct ICoreWebView2EnvironmentVtbl {
    HUB_UNKNOWN_SLOTS(ICoreWebView2Environment);
    HRESULT(STDMETHODCALLTYPE* CreateCoreWebView2Controller)
    (ICoreWebView2Environment*, HWND, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler*);
};
struct ICoreWebView2Environment {
    static constexpr IID iid{
        0xb96d755e, 0x0319, 0x4e92, {0xa2, 0x96, 0x23, 0x43, 0x6f, 0x46, 0xa1, 0xfc}};
    const ICoreWebView2EnvironmentVtbl* lpVtbl;
};

struct ICoreWebView2ControllerVtbl {
    HUB_UNKNOWN_SLOTS(ICoreWebView2Controller);
    Slot get_IsVisible, put_IsVisible, get_Bounds;
    HRESULT(STDMETHODCALLTYPE* put_Bounds)(ICoreWebView2Controller*, RECT);
    Slot slots7to23[17]; // zoom, focus, accelerator keys, parent window
    HRESULT(STDMETHODCALLTYPE* Close)(ICoreWebView2Controller*);
    HRESULT(STDMETHODCALLTYPE* get_CoreWebView2)(ICoreWebView2Controller*, ICoreWebView2**);
};
struct ICoreWebView2Controller {
    static constexpr IID iid{
        0x4d00c0d1, 0x9434, 0x4eb6, {0x80, 0x78, 0x86, 0x97, 0xa5, 0x60, 0x33, 0x4f}};
    const ICoreWebView2ControllerVtbl* lpVtbl;
};

struct ICoreWebView2Controller2Vtbl {
    ICoreWebView2ControllerVtbl base;
    Slot get_DefaultBackgroundColor;
    HRESULT(STDMETHODCALLTYPE* put_DefaultBackgroundColor)
    (ICoreWebView2Controller2*, COREWEBVIEW2_COLOR);
};
struct ICoreWebView2Controller2 {
    static constexpr IID iid{
        0xc979903e, 0xd4ca, 0x4228, {0x92, 0xeb, 0x47, 0xee, 0x3f, 0xa9, 0x6e, 0xab}};
    const ICoreWebView2Controller2Vtbl* lpVtbl;
};

struct ICoreWebView2Vtbl {
    HUB_UNKNOWN_SLOTS(ICoreWebView2);
    HRESULT(STDMETHODCALLTYPE* get_Settings)(ICoreWebView2*, ICoreWebView2Settings**);
    Slot get_Source;
    HRESULT(STDMETHODCALLTYPE* Navigate)(ICoreWebView2*, LPCWSTR);
    Slot NavigateToString;
    HRESULT(STDMETHODCALLTYPE* add_NavigationStarting)
    (ICoreWebView2*, ICoreWebView2NavigationStartingEventHandler*, EventRegistrationToken*);
    HRESULT(STDMETHODCALLTYPE* remove_NavigationStarting)(ICoreWebView2*, EventRegistrationToken);
    Slot slots9to31[23]; // other events, scripts, preview capture, reload
    HRESULT(STDMETHODCALLTYPE* PostWebMessageAsJson)(ICoreWebView2*, LPCWSTR);
    Slot PostWebMessageAsString;
    HRESULT(STDMETHODCALLTYPE* add_WebMessageReceived)
    (ICoreWebView2*, ICoreWebView2WebMessageReceivedEventHandler*, EventRegistrationToken*);
    HRESULT(STDMETHODCALLTYPE* remove_WebMessageReceived)(ICoreWebView2*, EventRegistrationToken);
    Slot slots36to43[8]; // developer tools protocol, history, stop
    HRESULT(STDMETHODCALLTYPE* add_NewWindowRequested)
    (ICoreWebView2*, ICoreWebView2NewWindowRequestedEventHandler*, EventRegistrationToken*);
    HRESULT(STDMETHODCALLTYPE* remove_NewWindowRequested)(ICoreWebView2*, EventRegistrationToken);
    Slot slots46to60[15]; // title, host objects, full screen, resource requests, close request
};
struct ICoreWebView2 {
    static constexpr IID iid{
        0x76eceacb, 0x0462, 0x4d94, {0xac, 0x83, 0x42, 0x3a, 0x67, 0x93, 0x77, 0x5e}};
    const ICoreWebView2Vtbl* lpVtbl;
};

struct ICoreWebView2_3Vtbl {
    ICoreWebView2Vtbl base;
    Slot slots61to67[7]; // the whole of ICoreWebView2_2
    Slot TrySuspend, Resume, get_IsSuspended;
    HRESULT(STDMETHODCALLTYPE* SetVirtualHostNameToFolderMapping)
    (ICoreWebView2_3*, LPCWSTR, LPCWSTR, COREWEBVIEW2_HOST_RESOURCE_ACCESS_KIND);
};
struct ICoreWebView2_3 {
    static constexpr IID iid{
        0xa0d6df20, 0x3b92, 0x416d, {0xaa, 0x0c, 0x43, 0x7a, 0x9c, 0x72, 0x78, 0x57}};
    const ICoreWebView2_3Vtbl* lpVtbl;
};

struct ICoreWebView2SettingsVtbl {
    HUB_UNKNOWN_SLOTS(ICoreWebView2Settings);
    Slot slots3to9[7]; // scripts, web messages, script dialogs, status bar getter
    HRESULT(STDMETHODCALLTYPE* put_IsStatusBarEnabled)(ICoreWebView2Settings*, BOOL);
    Slot get_AreDevToolsEnabled;
    HRESULT(STDMETHODCALLTYPE* put_AreDevToolsEnabled)(ICoreWebView2Settings*, BOOL);
    Slot get_AreDefaultContextMenusEnabled;
    HRESULT(STDMETHODCALLTYPE* put_AreDefaultContextMenusEnabled)(ICoreWebView2Settings*, BOOL);
};
struct ICoreWebView2Settings {
    const ICoreWebView2SettingsVtbl* lpVtbl;
};

struct ICoreWebView2NavigationStartingEventArgsVtbl {
    HUB_UNKNOWN_SLOTS(ICoreWebView2NavigationStartingEventArgs);
    HRESULT(STDMETHODCALLTYPE* get_Uri)(ICoreWebView2NavigationStartingEventArgs*, LPWSTR*);
    Slot get_IsUserInitiated, get_IsRedirected, get_RequestHeaders, get_Cancel;
    HRESULT(STDMETHODCALLTYPE* put_Cancel)(ICoreWebView2NavigationStartingEventArgs*, BOOL);
};
struct ICoreWebView2NavigationStartingEventArgs {
    const ICoreWebView2NavigationStartingEventArgsVtbl* lpVtbl;
};

struct ICoreWebView2NewWindowRequestedEventArgsVtbl {
    HUB_UNKNOWN_SLOTS(ICoreWebView2NewWindowRequestedEventArgs);
    Slot get_Uri, put_NewWindow, get_NewWindow;
    HRESULT(STDMETHODCALLTYPE* put_Handled)(ICoreWebView2NewWindowRequestedEventArgs*, BOOL);
};
struct ICoreWebView2NewWindowRequestedEventArgs {
    const ICoreWebView2NewWindowRequestedEventArgsVtbl* lpVtbl;
};

struct ICoreWebView2WebMessageReceivedEventArgsVtbl {
    HUB_UNKNOWN_SLOTS(ICoreWebView2WebMessageReceivedEventArgs);
    HRESULT(STDMETHODCALLTYPE* get_Source)(ICoreWebView2WebMessageReceivedEventArgs*, LPWSTR*);
    HRESULT(STDMETHODCALLTYPE* get_WebMessageAsJson)
    (ICoreWebView2WebMessageReceivedEventArgs*, LPWSTR*);
};
struct ICoreWebView2WebMessageReceivedEventArgs {
    const ICoreWebView2WebMessageReceivedEventArgsVtbl* lpVtbl;
};

// The handlers, which we implement (app/com_handler.h): IUnknown and one Invoke.
template <class Self, class... Args> struct HandlerVtbl {
    HUB_UNKNOWN_SLOTS(Self);
    HRESULT(STDMETHODCALLTYPE* Invoke)(Self*, Args...);
};

#define HUB_WEBVIEW_HANDLER(Name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8, ...)                  \
    struct Name {                                                                                  \
        using Vtbl = HandlerVtbl<Name, __VA_ARGS__>;                                               \
        static constexpr IID iid{l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}};                     \
        const Vtbl* lpVtbl;                                                                        \
    };                                                                                             \
    static_assert(offsetof(Name::Vtbl, Invoke) == 24 && sizeof(Name::Vtbl) == 32)

HUB_WEBVIEW_HANDLER(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler, 0x4e8a3389, 0xc9d8,
                    0x4bd2, 0xb6, 0xb5, 0x12, 0x4f, 0xee, 0x6c, 0xc1, 0x4d, HRESULT,
                    ICoreWebView2Environment*);
HUB_WEBVIEW_HANDLER(ICoreWebView2CreateCoreWebView2ControllerCompletedHandler, 0x6c4819f3, 0xc9b7,
                    0x4260, 0x81, 0x27, 0xc9, 0xf5, 0xbd, 0xe7, 0xf6, 0x8c, HRESULT,
                    ICoreWebView2Controller*);
HUB_WEBVIEW_HANDLER(ICoreWebView2NavigationStartingEventHandler, 0x9adbe429, 0xf36d, 0x432b, 0x9d,
                    0xdc, 0xf8, 0x88, 0x1f, 0xbd, 0x76, 0xe3, ICoreWebView2*,
                    ICoreWebView2NavigationStartingEventArgs*);
HUB_WEBVIEW_HANDLER(ICoreWebView2WebMessageReceivedEventHandler, 0x57213f19, 0x00e6, 0x49fa, 0x8e,
                    0x07, 0x89, 0x8e, 0xa0, 0x1e, 0xcb, 0xd2, ICoreWebView2*,
                    ICoreWebView2WebMessageReceivedEventArgs*);
HUB_WEBVIEW_HANDLER(ICoreWebView2NewWindowRequestedEventHandler, 0xd4c185fe, 0xc81c, 0x4989, 0x97,
                    0xaf, 0x2d, 0x3f, 0xa7, 0xab, 0x56, 0x51, ICoreWebView2*,
                    ICoreWebView2NewWindowRequestedEventArgs*);
#undef HUB_WEBVIEW_HANDLER
#undef HUB_UNKNOWN_SLOTS

// The byte offset of every slot we call, and the size of every table another one extends.
static_assert(sizeof(void*) == 8, "the offsets below are those of 64-bit Windows");
static_assert(sizeof(COREWEBVIEW2_COLOR) == 4 && sizeof(EventRegistrationToken) == 8);
static_assert(sizeof(COREWEBVIEW2_HOST_RESOURCE_ACCESS_KIND) == 4);
static_assert(offsetof(ICoreWebView2EnvironmentVtbl, Release) == 16);
static_assert(offsetof(ICoreWebView2EnvironmentVtbl, CreateCoreWebView2Controller) == 24);
static_assert(offsetof(ICoreWebView2ControllerVtbl, put_Bounds) == 48);
static_assert(offsetof(ICoreWebView2ControllerVtbl, Close) == 192);
static_assert(offsetof(ICoreWebView2ControllerVtbl, get_CoreWebView2) == 200);
static_assert(sizeof(ICoreWebView2ControllerVtbl) == 26 * 8);
static_assert(offsetof(ICoreWebView2Controller2Vtbl, put_DefaultBackgroundColor) == 216);
static_assert(offsetof(ICoreWebView2Vtbl, get_Settings) == 24);
static_assert(offsetof(ICoreWebView2Vtbl, Navigate) == 40);
static_assert(offsetof(ICoreWebView2Vtbl, add_NavigationStarting) == 56);
static_assert(offsetof(ICoreWebView2Vtbl, remove_NavigationStarting) == 64);
static_assert(offsetof(ICoreWebView2Vtbl, PostWebMessageAsJson) == 256);
static_assert(offsetof(ICoreWebView2Vtbl, add_WebMessageReceived) == 272);
static_assert(offsetof(ICoreWebView2Vtbl, remove_WebMessageReceived) == 280);
static_assert(offsetof(ICoreWebView2Vtbl, add_NewWindowRequested) == 352);
static_assert(offsetof(ICoreWebView2Vtbl, remove_NewWindowRequested) == 360);
static_assert(sizeof(ICoreWebView2Vtbl) == 61 * 8);
static_assert(offsetof(ICoreWebView2_3Vtbl, SetVirtualHostNameToFolderMapping) == 568);
static_assert(offsetof(ICoreWebView2SettingsVtbl, put_IsStatusBarEnabled) == 80);
static_assert(offsetof(ICoreWebView2SettingsVtbl, put_AreDevToolsEnabled) == 96);
static_assert(offsetof(ICoreWebView2SettingsVtbl, put_AreDefaultContextMenusEnabled) == 112);
static_assert(offsetof(ICoreWebView2NavigationStartingEventArgsVtbl, get_Uri) == 24);
static_assert(offsetof(ICoreWebView2NavigationStartingEventArgsVtbl, put_Cancel) == 64);
static_assert(offsetof(ICoreWebView2NewWindowRequestedEventArgsVtbl, put_Handled) == 48);
static_assert(offsetof(ICoreWebView2WebMessageReceivedEventArgsVtbl, get_Source) == 24);
static_assert(offsetof(ICoreWebView2WebMessageReceivedEventArgsVtbl, get_WebMessageAsJson) == 32);

} // namespace hub::webview
