#include "platform/win32/name_query_worker_win32.h"

#include <memory>
#include <vector>

#include "platform/platform_error.h"
#include "platform/win32/nt_api_win32.h"
#include "platform/win32/text.h"

namespace varnel::win32 {

// What the caller and the worker share: the request, the answer and the two events.
struct NameQueryWorker::Shared {
    HANDLE request = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE object = nullptr;
    bool stop = false;
    nt::Status status = 0;
    std::vector<unsigned char> buffer = std::vector<unsigned char>(64 * 1024);

    ~Shared() {
        CloseHandle(request);
        CloseHandle(done);
    }
};

namespace {

DWORD WINAPI Work(void* parameter) {
    auto* shared = static_cast<NameQueryWorker::Shared*>(parameter);
    const nt::QueryObject queryObject = nt::Ntdll().queryObject;
    while (WaitForSingleObject(shared->request, INFINITE) == WAIT_OBJECT_0 && !shared->stop) {
        ULONG length = 0;
        shared->status =
            queryObject(shared->object, nt::kObjectNameInformation, shared->buffer.data(),
                        static_cast<ULONG>(shared->buffer.size() - sizeof(wchar_t)), &length);
        SetEvent(shared->done);
    }
    return 0;
}

}  // namespace

NameQueryWorker::NameQueryWorker(DWORD limitMs) : limitMs_(limitMs) {
    Start();
}

NameQueryWorker::~NameQueryWorker() {
    Stop(true);
}

void NameQueryWorker::Start() {
    // The thread is started only once both events exist: it must never see a state that goes.
    auto shared = std::make_unique<Shared>();
    if (shared->request == nullptr || shared->done == nullptr) {
        ThrowLastError(u"CreateEventW");
    }
    thread_ = CreateThread(nullptr, 64 * 1024, Work, shared.get(), 0, nullptr);
    if (thread_ == nullptr) {
        ThrowLastError(u"CreateThread");
    }
    shared_ = shared.release();
}

void NameQueryWorker::Stop(bool wait) {
    if (thread_ == nullptr) {
        return;
    }
    if (wait) {
        shared_->stop = true;
        SetEvent(shared_->request);
        WaitForSingleObject(thread_, limitMs_);
    } else {
        TerminateThread(thread_, 1);
    }
    // The shared block is freed only once the thread is surely gone; a thread that will not
    // end keeps it (a leak of 64 KiB beats a write into freed memory).
    if (WaitForSingleObject(thread_, limitMs_) == WAIT_OBJECT_0) {
        delete shared_;
    }
    CloseHandle(thread_);
    thread_ = nullptr;
    shared_ = nullptr;
}

std::optional<std::u16string> NameQueryWorker::Query(HANDLE object) {
    shared_->object = object;
    SetEvent(shared_->request);
    if (WaitForSingleObject(shared_->done, limitMs_) != WAIT_OBJECT_0) {
        ++abandoned_;
        Stop(false);
        Start();
        return std::nullopt;
    }
    if (shared_->status < 0) {
        return std::nullopt;
    }
    const auto* name = reinterpret_cast<const nt::CountedString*>(shared_->buffer.data());
    if (name->buffer == nullptr) {
        return std::u16string();
    }
    return FromWide(name->buffer, name->length / sizeof(wchar_t));
}

}  // namespace varnel::win32
