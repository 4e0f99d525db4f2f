// The shell's folder windows over stand-in COM objects: Wine's shell window list is always empty,
// so the way from a window to the folder it shows runs here on objects of the test's own. They
// are C-style (CINTERFACE: an interface is a pointer to its table of functions), so that each
// fills only the entries the code calls; every other entry answers E_NOTIMPL.
#define CINTERFACE
#define COBJMACROS
#include <gtest/gtest.h>
#include <windows.h>
// windows.h first: the shell headers rely on its types.
#include <exdisp.h>
#include <servprov.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cwchar>
#include <string>
#include <vector>

#include "platform/win32/dynamic_calls_win32.h"
#include "platform/win32/shell_windows_win32.h"

namespace {

// Any entry of a table the code does not call. On x64 the caller clears the arguments, so one
// function serves every signature.
HRESULT STDMETHODCALLTYPE NotImplemented() {
    return E_NOTIMPL;
}
ULONG STDMETHODCALLTYPE Count(void*) {
    return 1;  // the objects live as long as the test
}
// AddRef and Release (entries 1 and 2 of every table) count nothing; the rest not given fail.
template <typename Table>
void FillRest(Table& table) {
    auto** entry = reinterpret_cast<void**>(&table);
    for (size_t i = 0; i < sizeof(Table) / sizeof(void*); ++i)
        if (entry[i] == nullptr)
            entry[i] =
                reinterpret_cast<void*>(i == 1 || i == 2 ? (void*)&Count : (void*)&NotImplemented);
}

// One shell window: a browser that may reach a folder view, and the folder it shows (null: a
// browser window without one; "": a virtual folder with no path).
struct Window {
    IWebBrowser2 browser;
    IServiceProvider provider;
    IShellBrowser shell;
    IShellView view;
    IFolderView folderView;
    IPersistFolder2 folder;
    LONG_PTR hwnd;
    const wchar_t* path;
    bool quit = false;
};
template <typename Interface>
Window& Of(Interface* object, Interface Window::*member) {
    return *reinterpret_cast<Window*>(reinterpret_cast<char*>(object) -
                                      reinterpret_cast<size_t>(&(((Window*)nullptr)->*member)));
}

HRESULT STDMETHODCALLTYPE BrowserAsk(IWebBrowser2* self, REFIID iid, void** out) {
    Window& w = Of(self, &Window::browser);
    *out = IsEqualIID(iid, IID_IWebBrowser2) || IsEqualIID(iid, IID_IDispatch) ? (void*)&w.browser
           : IsEqualIID(iid, IID_IServiceProvider) && w.path != nullptr        ? (void*)&w.provider
                                                                               : nullptr;
    return *out != nullptr ? S_OK : E_NOINTERFACE;
}
HRESULT STDMETHODCALLTYPE Hwnd(IWebBrowser2* self, SHANDLE_PTR* hwnd) {
    *hwnd = Of(self, &Window::browser).hwnd;
    return S_OK;
}
HRESULT STDMETHODCALLTYPE Quit(IWebBrowser2* self) {
    Of(self, &Window::browser).quit = true;
    return S_OK;
}
HRESULT STDMETHODCALLTYPE Service(IServiceProvider* self, REFGUID sid, REFIID iid, void** out) {
    const bool asked = IsEqualGUID(sid, SID_STopLevelBrowser) && IsEqualIID(iid, IID_IShellBrowser);
    *out = asked ? &Of(self, &Window::provider).shell : nullptr;
    return asked ? S_OK : E_NOINTERFACE;
}
HRESULT STDMETHODCALLTYPE ActiveView(IShellBrowser* self, IShellView** out) {
    *out = &Of(self, &Window::shell).view;
    return S_OK;
}
HRESULT STDMETHODCALLTYPE ViewAsk(IShellView* self, REFIID iid, void** out) {
    *out = IsEqualIID(iid, IID_IFolderView) ? &Of(self, &Window::view).folderView : nullptr;
    return *out != nullptr ? S_OK : E_NOINTERFACE;
}
HRESULT STDMETHODCALLTYPE Folder(IFolderView* self, REFIID iid, void** out) {
    *out = IsEqualIID(iid, IID_IPersistFolder2) ? &Of(self, &Window::folderView).folder : nullptr;
    return *out != nullptr ? S_OK : E_NOINTERFACE;
}
// The folder's item id list carries its path, which the stand-in of shell32 below reads back.
HRESULT STDMETHODCALLTYPE CurrentFolder(IPersistFolder2* self, PIDLIST_ABSOLUTE* list) {
    const wchar_t* path = Of(self, &Window::folder).path;
    const size_t bytes = (wcslen(path) + 1) * sizeof(wchar_t);
    *list = static_cast<PIDLIST_ABSOLUTE>(CoTaskMemAlloc(bytes));
    memcpy(*list, path, bytes);
    return S_OK;
}
BOOL WINAPI PathOf(PCIDLIST_ABSOLUTE list, LPWSTR path) {
    wcsncpy(path, reinterpret_cast<const wchar_t*>(list), MAX_PATH);
    return path[0] != L'\0';
}

std::vector<Window*> shown;  // the shell's windows, in its order

HRESULT STDMETHODCALLTYPE WindowCount(IShellWindows*, LONG* count) {
    *count = LONG(shown.size());
    return S_OK;
}
HRESULT STDMETHODCALLTYPE WindowAt(IShellWindows*, VARIANT index, IDispatch** item) {
    *item = reinterpret_cast<IDispatch*>(&shown.at(size_t(index.lVal))->browser);
    return S_OK;
}
IShellWindows windows;
HRESULT Create(void** out) {
    *out = &windows;
    return S_OK;
}

TEST(ShellWindows, NameEachFolderWindowsPathAndCloseTheOneAsked) {
    static IWebBrowser2Vtbl browser{};
    browser.QueryInterface = &BrowserAsk;
    browser.get_HWND = &Hwnd;
    browser.Quit = &Quit;
    static IServiceProviderVtbl provider{};
    provider.QueryService = &Service;
    static IShellBrowserVtbl shell{};
    shell.QueryActiveShellView = &ActiveView;
    static IShellViewVtbl view{};
    view.QueryInterface = &ViewAsk;
    static IFolderViewVtbl folderView{};
    folderView.GetFolder = &Folder;
    static IPersistFolder2Vtbl folder{};
    folder.GetCurFolder = &CurrentFolder;
    static IShellWindowsVtbl list{};
    list.get_Count = &WindowCount;
    list.Item = &WindowAt;
    FillRest(browser), FillRest(provider), FillRest(shell), FillRest(view);
    FillRest(folderView), FillRest(folder), FillRest(list);
    windows.lpVtbl = &list;

    // A browser window, a folder window on E:\sub, a virtual folder, a folder window on C:.
    Window all[] = {{{}, {}, {}, {}, {}, {}, 0x101, nullptr},
                    {{}, {}, {}, {}, {}, {}, 0x102, L"E:\\sub"},
                    {{}, {}, {}, {}, {}, {}, 0x103, L""},
                    {{}, {}, {}, {}, {}, {}, 0x104, L"C:\\"}};
    shown.clear();
    for (Window& w : all) {
        w.browser.lpVtbl = &browser, w.provider.lpVtbl = &provider, w.shell.lpVtbl = &shell;
        w.view.lpVtbl = &view, w.folderView.lpVtbl = &folderView, w.folder.lpVtbl = &folder;
        shown.push_back(&w);
    }
    varnel::win32::ShellApi shell32 = varnel::win32::Shell32();
    shell32.pathFromIdList = &PathOf;
    const varnel::win32::ReplacedDll<varnel::win32::ShellApi> replaced(shell32);

    varnel::win32::ShellWindowsWin32 shellWindows(&Create);
    const std::vector<varnel::ShellWindow> found = shellWindows.List();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].id, 0x102u);
    EXPECT_EQ(found[0].path, u"E:\\sub");
    EXPECT_EQ(found[1].id, 0x104u);
    EXPECT_TRUE(shellWindows.Close(0x102));
    EXPECT_FALSE(shellWindows.Close(0x105)) << "no such window";
    EXPECT_TRUE(all[1].quit && !all[0].quit && !all[3].quit);
}

}  // namespace
