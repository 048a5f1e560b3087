#pragma once
// Fake automation servers for the tests of the automation objects, in one shared library that
// the test program links and that comlite also loads by path when the classes are created by
// ProgID: the loader gives both the same copy, so the tests read what the objects recorded.
//
// - a scripted station and inventory: record every Invoke and answer through a handler;
// - a dial-up object with the dispatch identifiers and parameter kinds of the real one.

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "comlite/guid.h"
#include "comlite/interfaces.h"
#include "comlite/variant.h"

namespace tw::test {

inline constexpr CLSID CLSID_FakeStation =
    comlite::MakeGuid("{8E61F0A0-2C4B-4D7E-A1B2-6F0E9D3C5A01}");
inline constexpr CLSID CLSID_FakeInventory =
    comlite::MakeGuid("{8E61F0A1-2C4B-4D7E-A1B2-6F0E9D3C5A01}");
inline constexpr CLSID CLSID_FakeRas = comlite::MakeGuid("{8E61F0A2-2C4B-4D7E-A1B2-6F0E9D3C5A01}");
// A class the library refuses to make (creation fails after a successful lookup).
inline constexpr CLSID CLSID_FakeBroken =
    comlite::MakeGuid("{8E61F0A3-2C4B-4D7E-A1B2-6F0E9D3C5A01}");

// One Invoke as the object received it. Arguments are in declaration order (first parameter
// first), copied by value; by-reference ones keep only their type, and object ones are kept as
// plain pointers in `objects` (a recorded reference would keep the object alive).
struct RecordedCall {
    std::string object;  // "Station", "Inventory" or "Ras"
    DISPID member = 0;
    WORD flags = 0;
    std::vector<VARTYPE> types;
    std::vector<comlite::Variant> values;
    std::vector<IUnknown*> objects;  // per argument: the object passed, or null
    std::vector<DISPID> named;
    IDispatch* self = nullptr;  // the object called (not referenced)
};

// Answers a scripted object's call: fill *result, or fail (return DISP_E_EXCEPTION after
// filling *excepInfo, or any other HRESULT).
using CallHandler = std::function<HRESULT(const RecordedCall& call, DISPPARAMS* params,
                                          VARIANT* result, EXCEPINFO* excepInfo)>;

// State of the dial-up fake, as the system's dial-up service would hold it.
struct FakeRasState {
    bool installed = true;
    std::vector<std::string> connections;
    std::size_t next = 0;
    int dialResult = 0;
    int hangUpResult = 0;
    std::string raiseText;             // when not empty, every member fails with this error text
    std::vector<std::string> dialled;  // "entry|phone|callback|user|password|domain"
};

struct FakeServerState {
    std::mutex mutex;
    std::vector<RecordedCall> calls;
    CallHandler handler;  // for the station and the inventory; none: S_OK, no result
    FakeRasState ras;
    int liveObjects = 0;

    std::vector<RecordedCall> Calls() {
        std::lock_guard lock(mutex);
        return calls;
    }
    void Reset() {
        std::vector<RecordedCall> old;
        CallHandler oldHandler;
        std::lock_guard lock(mutex);
        old.swap(calls);
        oldHandler.swap(handler);
        ras = FakeRasState{};
    }
};

FakeServerState& FakeServer();

// Fills excepInfo as an object raising an automation error does.
HRESULT RaiseFakeException(EXCEPINFO* excepInfo, SCODE code, const std::u16string& description);

}  // namespace tw::test
