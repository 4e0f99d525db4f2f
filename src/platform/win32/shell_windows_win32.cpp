#include "platform/win32/shell_windows_win32.h"

#include "platform/win32/dynamic_calls_win32.h"

#include <windows.h>
// windows.h first: the shell headers rely on its types.
#include <exdisp.h>
#include <servprov.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <chrono>
#include <condition_variable>
#include <cwchar>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include "platform/platform_error.h"
#include "platform/win32/text.h"

namespace varnel::win32 {
namespace {

// The shell answers from Explorer's process; one that hangs must not hang the caller.
constexpr std::chrono::seconds kAnswerTime{5};

// One reference to a COM object, released when the owner goes out of scope.
template <typename Interface>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() {
        if (object_ != nullptr) {
            object_->Release();
        }
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    Interface* operator->() const { return object_; }
    Interface* Get() const { return object_; }
    Interface** Out() { return &object_; }  // for a call that hands out a new reference
    void** OutVoid() { return reinterpret_cast<void**>(&object_); }

private:
    Interface* object_ = nullptr;
};

// A window's folder through the shell browser that shows it. Browser windows have no folder view,
// virtual folders no file-system path: both are nothing here.
std::optional<ShellWindow> FolderWindow(IDispatch* item, ComRef<IWebBrowser2>& browser) {
    ComRef<IServiceProvider> provider;
    ComRef<IShellBrowser> shell;
    ComRef<IShellView> view;
    ComRef<IFolderView> folderView;
    ComRef<IPersistFolder2> folder;
    PIDLIST_ABSOLUTE list = nullptr;
    if (FAILED(item->QueryInterface(IID_IWebBrowser2, browser.OutVoid())) ||
        FAILED(browser->QueryInterface(IID_IServiceProvider, provider.OutVoid())) ||
        FAILED(provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, shell.OutVoid())) ||
        FAILED(shell->QueryActiveShellView(view.Out())) ||
        FAILED(view->QueryInterface(IID_IFolderView, folderView.OutVoid())) ||
        FAILED(folderView->GetFolder(IID_IPersistFolder2, folder.OutVoid())) ||
        FAILED(folder->GetCurFolder(&list)) || list == nullptr) {
        return std::nullopt;
    }
    wchar_t path[MAX_PATH] = {};
    const BOOL onDisk = Shell32().pathFromIdList(list, path);
    Ole32().taskMemFree(list);
    SHANDLE_PTR window = 0;
    if (!onDisk || FAILED(browser->get_HWND(&window))) {
        return std::nullopt;
    }
    return ShellWindow{static_cast<uint64_t>(window), FromWide(path, wcsnlen(path, MAX_PATH))};
}

// Calls visit for each folder window with its browser, until visit answers false.
void ForEachFolderWindow(ShellWindowsWin32::Factory create,
                         const std::function<bool(const ShellWindow&, IWebBrowser2&)>& visit) {
    ComRef<IShellWindows> windows;
    const HRESULT created = create(windows.OutVoid());
    if (FAILED(created)) {
        throw PlatformError(u"CoCreateInstance(ShellWindows)", SystemErrorText(created));
    }
    long count = 0;
    if (FAILED(windows->get_Count(&count))) {
        count = 0;
    }
    for (long i = 0; i < count; ++i) {
        VARIANT index{};
        index.vt = VT_I4;
        index.lVal = i;
        ComRef<IDispatch> item;
        ComRef<IWebBrowser2> browser;
        if (FAILED(windows->Item(index, item.Out())) || item.Get() == nullptr) {
            continue;
        }
        const std::optional<ShellWindow> window = FolderWindow(item.Get(), browser);
        if (window && !visit(*window, *browser.Get())) {
            return;
        }
    }
}

// Runs work on a new thread in a single-threaded apartment and waits kAnswerTime for its result.
// A thread still waiting on the shell after that is left to finish alone: it owns what it uses.
template <typename Result>
Result InApartment(std::function<Result()> work) {
    struct Shared {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        Result result{};
        std::exception_ptr failure;
    };
    const auto shared = std::make_shared<Shared>();
    std::thread asker;
    try {
        asker = std::thread([shared, work = std::move(work)] {
            Result result{};
            std::exception_ptr failure;
            const Ole32Api* com = nullptr;
            HRESULT init = E_FAIL;
            try {
                com = &Ole32();
                init = com->initialize(nullptr, COINIT_APARTMENTTHREADED);
                if (FAILED(init)) {
                    throw PlatformError(u"CoInitializeEx", SystemErrorText(init));
                }
                result = work();
            } catch (...) {
                failure = std::current_exception();
            }
            if (SUCCEEDED(init)) {
                com->uninitialize();
            }
            const std::lock_guard lock(shared->mutex);
            shared->result = std::move(result);
            shared->failure = failure;
            shared->finished = true;
            shared->done.notify_one();
        });
    } catch (const std::system_error& refused) {
        throw ThreadRefused(refused);
    }
    asker.detach();
    std::unique_lock lock(shared->mutex);
    if (!shared->done.wait_for(lock, kAnswerTime, [&] { return shared->finished; })) {
        const std::string seconds = std::to_string(kAnswerTime.count());
        throw PlatformError(
            u"IShellWindows",
            u"资源管理器在 " + std::u16string(seconds.begin(), seconds.end()) + u" 秒内没有回答");
    }
    if (shared->failure) {
        std::rethrow_exception(shared->failure);
    }
    return std::move(shared->result);
}

}  // namespace

HRESULT ShellWindowsWin32::CreateSystemList(void** windows) {
    return Ole32().createInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_IShellWindows,
                                  windows);
}

std::vector<ShellWindow> ShellWindowsWin32::List() {
    return InApartment<std::vector<ShellWindow>>([create = create_] {
        std::vector<ShellWindow> windows;
        ForEachFolderWindow(create, [&](const ShellWindow& window, IWebBrowser2&) {
            windows.push_back(window);
            return true;
        });
        return windows;
    });
}

bool ShellWindowsWin32::Close(uint64_t id) {
    return InApartment<bool>([create = create_, id] {
        bool closed = false;
        ForEachFolderWindow(create, [&](const ShellWindow& window, IWebBrowser2& browser) {
            closed = window.id == id && SUCCEEDED(browser.Quit());
            return window.id != id;
        });
        return closed;
    });
}

}  // namespace varnel::win32
