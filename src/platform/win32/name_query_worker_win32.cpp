#include "platform/win32/name_query_worker_win32.h"

#include <atomic>
#include <memory>

#include "platform/platform_error.h"
#include "platform/win32/nt_api_win32.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/text.h"

namespace varnel::win32 {

// What the caller and the worker share: the batch, its answers, the two events and how far the
// worker has come. The worker writes only the answer of the query it runs; the caller reads the
// answers once the batch is done, or those before a query it gave up.
struct NameQueryWorker::Shared {
    ScopedHandle request{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    ScopedHandle finished{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    std::vector<HANDLE> objects;
    std::vector<std::optional<std::u16string>> names;
    std::atomic<size_t> next{0};          // the query running; objects.size() once all are done
    std::atomic<ULONGLONG> startedMs{0};  // when it started (GetTickCount64)
    std::atomic<bool> stop{false};
    std::vector<unsigned char> buffer = std::vector<unsigned char>(64 * 1024);
};

namespace {

DWORD WINAPI Work(void* parameter) {
    auto* shared = static_cast<NameQueryWorker::Shared*>(parameter);
    const nt::QueryObject queryObject = nt::Ntdll().queryObject;
    const auto* name = reinterpret_cast<const nt::CountedString*>(shared->buffer.data());
    while (WaitForSingleObject(shared->request.Get(), INFINITE) == WAIT_OBJECT_0 && !shared->stop) {
        for (size_t i = shared->next; i < shared->objects.size(); ++i) {
            // The start before the index: a caller that sees this query sees its start.
            shared->startedMs = GetTickCount64();
            shared->next = i;
            ULONG length = 0;
            const nt::Status status =
                queryObject(shared->objects[i], nt::kObjectNameInformation, shared->buffer.data(),
                            static_cast<ULONG>(shared->buffer.size() - sizeof(wchar_t)), &length);
            if (status >= 0) {
                shared->names[i].emplace();
                if (name->buffer != nullptr) {
                    shared->names[i]->assign(reinterpret_cast<const char16_t*>(name->buffer),
                                             name->length / sizeof(wchar_t));
                }
            }
        }
        shared->next = shared->objects.size();
        SetEvent(shared->finished.Get());
    }
    return 0;
}

}  // namespace

NameQueryWorker::NameQueryWorker(DWORD limitMs) : limitMs_(limitMs) {
    Start({});
}

NameQueryWorker::~NameQueryWorker() {
    Stop(true);
}

void NameQueryWorker::Start(std::span<const HANDLE> objects) {
    // The thread is started only once both events exist: it must never see a state that goes.
    auto shared = std::make_unique<Shared>();
    if (!shared->request.Valid() || !shared->finished.Valid()) {
        ThrowLastError(u"CreateEventW");
    }
    shared->objects.assign(objects.begin(), objects.end());
    shared->names.resize(objects.size());
    thread_ = ScopedHandle(CreateThread(nullptr, 64 * 1024, Work, shared.get(), 0, nullptr));
    if (!thread_.Valid()) {
        ThrowLastError(u"CreateThread");
    }
    shared_ = shared.release();
}

void NameQueryWorker::Stop(bool wait) {
    if (!thread_.Valid()) {
        return;
    }
    if (wait) {
        shared_->stop = true;
        SetEvent(shared_->request.Get());
        WaitForSingleObject(thread_.Get(), limitMs_);
    } else {
        TerminateThread(thread_.Get(), 1);
    }
    // The shared block is freed only once the thread is surely gone; a thread that will not
    // end keeps it (a leak of 64 KiB beats a write into freed memory).
    if (WaitForSingleObject(thread_.Get(), limitMs_) == WAIT_OBJECT_0) {
        delete shared_;
    }
    thread_ = ScopedHandle();
    shared_ = nullptr;
}

void NameQueryWorker::Query(std::span<const HANDLE> objects,
                            std::vector<std::optional<std::u16string>>& names) {
    names.resize(objects.size());
    shared_->objects.assign(objects.begin(), objects.end());
    shared_->names.resize(objects.size());
    for (auto& name : shared_->names) {
        name.reset();
    }
    const auto collect = [&](size_t from, size_t to) {
        for (size_t i = from; i < to; ++i) {
            names[i] = std::move(shared_->names[i]);
        }
    };
    for (size_t first = 0; first < objects.size();) {
        shared_->startedMs = GetTickCount64();
        shared_->next = first;
        SetEvent(shared_->request.Get());
        for (;;) {
            const size_t running = shared_->next;
            const ULONGLONG deadline = shared_->startedMs + limitMs_;
            const ULONGLONG now = GetTickCount64();
            if (WaitForSingleObject(shared_->finished.Get(),
                                    deadline > now ? static_cast<DWORD>(deadline - now) : 0) ==
                WAIT_OBJECT_0) {
                collect(first, objects.size());
                first = objects.size();
                break;
            }
            if (running < objects.size() && shared_->next == running &&
                GetTickCount64() >= deadline) {
                // This query hangs: the answers before it are kept, a new worker asks the rest.
                collect(first, running);
                names[running].reset();
                ++abandoned_;
                Stop(false);
                Start(objects);
                first = running + 1;
                break;
            }
        }
    }
}

}  // namespace varnel::win32
