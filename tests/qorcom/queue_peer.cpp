// Another process using a shared queue, started by the queue tests.
//
//   queue_peer produce NAME ID COUNT    adds "ID:0" ... "ID:COUNT-1", waiting while the queue is
//                                       full; exit 0 when all are in
//   queue_peer hold NAME READYFILE      adds "left behind", takes the queue's mutex, creates
//                                       READYFILE and waits to be killed
// The queues are the user's own (no visibility). Exit 2 for a usage error, 3 for a failure.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "comlite/bstr.h"
#include "comlite/com_ptr.h"
#include "comlite/error_info.h"
#include "platform/shared_section.h"
#include "qorcom/frame/exports.h"
#include "qorcom/interfaces/local.h"
#include "qorcom/local/queue_section.h"

namespace {

comlite::ComPtr<IQORGlobalQueue> OpenQueue(const std::string& name) {
    comlite::ComPtr<IClassFactory> factory;
    comlite::ComPtr<IQORGlobalQueue> queue;
    if (DllGetClassObject(CLSID_QORGlobalQueue, IID_IClassFactory, factory.PutVoid()) != S_OK ||
        factory->CreateInstance(nullptr, IID_IQORGlobalQueue, queue.PutVoid()) != S_OK)
        std::exit(3);
    comlite::Bstr text = comlite::Bstr::FromUtf8(name);
    queue->put_Name(text.Get());
    return queue;
}

std::string ErrorText() {
    comlite::ComPtr<IErrorInfo> info;
    comlite::Bstr description;
    if (GetErrorInfo(0, info.Put()) == S_OK && info)
        info->GetDescription(description.Put());
    return description.Utf8();
}

int Produce(const std::string& name, const std::string& id, int count) {
    auto queue = OpenQueue(name);
    for (int i = 0; i < count; ++i) {
        comlite::Bstr entry = comlite::Bstr::FromUtf8(id + ":" + std::to_string(i));
        for (;;) {
            if (queue->Add(entry.Get()) == S_OK)
                break;
            const std::string error = ErrorText();
            if (error != "Queue is full!") {
                std::fprintf(stderr, "Add %d: %s\n", i, error.c_str());
                return 3;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }
    return 0;
}

int Hold(const std::string& name, const std::string& readyFile) {
    auto queue = OpenQueue(name);
    comlite::Bstr entry = comlite::Bstr::FromUtf8("left behind");
    if (queue->Add(entry.Get()) != S_OK)
        return 3;
    tw::platform::SharedSection::Failure failure;
    auto section = tw::platform::SharedSection::Open(
        tw::platform::SharedObjectName(name), tw::qorcom::kQueueSectionBytes, false,
        [](std::span<std::byte>) {}, &failure);
    int error = 0;
    if (!section || !section->Lock(&error))
        return 3;
    std::ofstream(readyFile) << "ready\n";
    for (;;) pause();
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "produce" && argc == 5)
        return Produce(argv[2], argv[3], std::atoi(argv[4]));
    if (mode == "hold" && argc == 4)
        return Hold(argv[2], argv[3]);
    std::fprintf(stderr, "usage: queue_peer produce NAME ID COUNT | hold NAME READYFILE\n");
    return 2;
}
