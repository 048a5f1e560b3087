#include "qorcom/local/global_queue.h"

#include <cstdio>

#include "comlite/bstr.h"
#include "comlite/text.h"
#include "platform/system_text.h"
#include "qorcom/local/queue_section.h"

namespace tw::qorcom {
namespace {

HRESULT CopyOut(const std::u16string& text, BSTR* value) {
    if (!value)
        return E_POINTER;
    *value = comlite::AllocBstr(text);
    return *value ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

CGlobalQueue::CGlobalQueue(IUnknown* outer) : GenericDispatchObject(outer, "QORCom.GlobalQueue") {}

// Unmapping and closing count this object out; the last user takes the queue with it.
CGlobalQueue::~CGlobalQueue() = default;

HRESULT CGlobalQueue::get_Name(BSTR* value) {
    return Guarded([&] { return CopyOut(name_, value); });
}

HRESULT CGlobalQueue::put_Name(BSTR value) {
    return Guarded([&] {
        name_ = comlite::BstrView(value);
        return S_OK;
    });
}

HRESULT CGlobalQueue::get_Visibility(BSTR* value) {
    return Guarded([&] { return CopyOut(visibility_, value); });
}

HRESULT CGlobalQueue::put_Visibility(BSTR value) {
    return Guarded([&] {
        visibility_ = comlite::BstrView(value);
        return S_OK;
    });
}

HRESULT CGlobalQueue::Open() {
    if (section_)
        return S_OK;
    const std::string section =
        platform::QueueSectionName(comlite::Utf16ToUtf8(visibility_), comlite::Utf16ToUtf8(name_));
    if (section.empty())
        return Raise("Specify a name for the queue before using it.", kErrorOperation);
    platform::SharedSection::Failure failure;
    section_ = platform::SharedSection::Open(
        platform::SharedObjectName(section), kQueueSectionBytes, platform::IsMachineWide(section),
        [](std::span<std::byte> bytes) { QueueSection(bytes).Initialise(); }, &failure);
    if (section_)
        return S_OK;
    switch (failure.step) {
        case platform::SharedSection::Failure::Step::Mutex:
            return RaiseMutexFailure(failure.error);
        case platform::SharedSection::Failure::Step::Map:
            return Raise("Unable to map view of memory map.", kErrorOperation);
        case platform::SharedSection::Failure::Step::Allocate:
            break;
    }
    char code[16];
    std::snprintf(code, sizeof code, "%x", static_cast<unsigned>(failure.error));
    return Raise("Unable to allocate memory map " + section + ". Error " + code, kErrorOperation);
}

HRESULT CGlobalQueue::RaiseMutexFailure(int error) {
    return Raise("Unable to create memory map mutex.  " + platform::SystemErrorText(error),
                 kErrorOperation);
}

HRESULT CGlobalQueue::Add(BSTR value) {
    return Guarded([&] {
        if (const HRESULT hr = Open(); FAILED(hr))
            return hr;
        QueueSection queue(section_->Bytes());
        // A caller retrying on a full queue leaves the mutex to the one who takes entries off.
        if (queue.LooksFull(comlite::BstrView(value)))
            return Raise("Queue is full!", kErrorOperation);
        platform::SectionLock lock(*section_);
        if (!lock.owns())
            return RaiseMutexFailure(lock.error());
        switch (queue.Add(comlite::BstrView(value))) {
            case QueueSection::Outcome::Full:
                return Raise("Queue is full!", kErrorOperation);
            case QueueSection::Outcome::Corrupt:
                return Raise("Queue is corrupt.", kErrorOperation);
            default:
                return S_OK;
        }
    });
}

HRESULT CGlobalQueue::Remove(BSTR* value, VARIANT_BOOL* result) {
    if (!value || !result)
        return E_POINTER;
    *value = nullptr;
    *result = VARIANT_FALSE;
    return Guarded([&] {
        if (const HRESULT hr = Open(); FAILED(hr))
            return hr;
        QueueSection queue(section_->Bytes());
        if (queue.LooksEmpty()) {
            // Polling an empty queue leaves the mutex to those who add.
            *value = comlite::AllocBstr(u"");
            return *value ? S_OK : E_OUTOFMEMORY;
        }
        platform::SectionLock lock(*section_);
        if (!lock.owns())
            return RaiseMutexFailure(lock.error());
        std::u16string_view front;
        const QueueSection::Outcome outcome = queue.Front(&front);
        if (outcome == QueueSection::Outcome::Corrupt)
            return Raise("Queue is corrupt.", kErrorOperation);
        // The entry leaves the queue only once the caller's copy exists.
        *value = comlite::AllocBstr(front);
        if (!*value)
            return E_OUTOFMEMORY;
        if (outcome == QueueSection::Outcome::Done) {
            queue.PopFront(front.size());
            *result = VARIANT_TRUE;
        }
        return S_OK;
    });
}

HRESULT CGlobalQueue::get_Empty(VARIANT_BOOL* value) {
    if (!value)
        return E_POINTER;
    return Guarded([&] {
        if (const HRESULT hr = Open(); FAILED(hr))
            return hr;
        QueueSection::Outcome outcome;
        {
            platform::SectionLock lock(*section_);
            if (!lock.owns())
                return RaiseMutexFailure(lock.error());
            outcome = QueueSection(section_->Bytes()).Peek();
        }
        if (outcome == QueueSection::Outcome::Corrupt)
            return Raise("Queue is corrupt.", kErrorOperation);
        *value = outcome == QueueSection::Outcome::Empty ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

}  // namespace tw::qorcom
