#include "qorcom/frame/unknown.h"

namespace tw::qorcom {
namespace {

std::atomic<LONG> g_liveObjects{0};
std::atomic<LONG> g_serverLocks{0};

}  // namespace

LONG LiveObjectCount() {
    return g_liveObjects.load();
}
LONG ServerLockCount() {
    return g_serverLocks.load();
}

void LockServer(bool lock) {
    if (lock)
        ++g_serverLocks;
    else
        --g_serverLocks;
}

CUnknown::CUnknown(IUnknown* outer) : outer_(outer ? outer : &face_) {
    ++g_liveObjects;
}

CUnknown::~CUnknown() {
    --g_liveObjects;
}

HRESULT CUnknown::NondelegatingQueryInterface(REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    if (riid == IID_IUnknown)
        return Hand(&face_, object);
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CUnknown::NondelegatingAddRef() {
    return ++refs_;
}

ULONG CUnknown::NondelegatingRelease() {
    const ULONG left = --refs_;
    if (left == 0) {
        FinalRelease();
        delete this;
    }
    return left;
}

void CUnknown::FinalRelease() {
    refs_ = 1;
}

HRESULT CUnknown::Hand(IUnknown* face, void** object) {
    *object = face;
    face->AddRef();
    return S_OK;
}

}  // namespace tw::qorcom
