// A client that takes a lock of the service's namespace and holds it until it is killed:
//   guard_holder channel NAME   opens the exchange channel NAME as a client does and keeps a
//                               writer ("in") or a reader (any other) open, i.e. its guard held;
//                               on "in" it is a libtarnwick client inside its transaction (it
//                               holds the clients' transaction mutex too) that has written a
//                               request, not yet announced: the next client's requests are
//                               served in one batch with it;
//   guard_holder mutex NAME     takes the named mutex NAME (a producer's guard, for instance).
// It prints "held" once the lock is taken, then waits for its end.

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "base/utf8.h"
#include "client/request_batch.h"
#include "exchange/exchange_buffer.h"
#include "exchange/exchange_reader.h"
#include "exchange/exchange_writer.h"
#include "platform/win32.h"
#include "protocol/object_names.h"

namespace {

[[noreturn]] void hold_until_killed() {
    std::puts("held");
    std::fflush(stdout);
    for (;;) {
        pause();
    }
}

int hold_channel(const std::wstring& name) {
    GPS::exchange_buffer channel;
    if (!channel.open(name.c_str(), tarnwick::protocol::names::channel_element_size,
                      tarnwick::protocol::names::channel_element_count)) {
        std::fprintf(stderr, "guard_holder: cannot open channel\n");
        return 1;
    }
    // The scoped objects a client uses; each holds the channel's guard for its life.
    std::unique_ptr<GPS::exchange_writer> writer;
    std::unique_ptr<GPS::exchange_reader> reader;
    if (name == L"in") {
        const HANDLE turn =
            CreateMutexW(nullptr, FALSE, tarnwick::protocol::names::transaction_mutex);
        if (turn == nullptr || WaitForSingleObject(turn, INFINITE) == WAIT_FAILED) {
            std::fprintf(stderr, "guard_holder: cannot take the transaction mutex\n");
            return 1;
        }
        writer = std::make_unique<GPS::exchange_writer>(channel, nullptr);
        tarnwick::client::RequestBatch request;
        request.get_time_stamp_mode();
        writer->write(request.bytes().data(), static_cast<int>(request.bytes().size()));
    } else {
        reader = std::make_unique<GPS::exchange_reader>(channel);
    }
    hold_until_killed();
}

int hold_mutex(const std::wstring& name) {
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    if (mutex == nullptr) {
        std::fprintf(stderr, "guard_holder: cannot open mutex\n");
        return 1;
    }
    const DWORD waited = WaitForSingleObject(mutex, INFINITE);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        std::fprintf(stderr, "guard_holder: cannot take mutex\n");
        return 1;
    }
    hold_until_killed();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: guard_holder channel|mutex NAME\n");
        return 2;
    }
    const std::wstring name = tarnwick::from_utf8(argv[2]);
    if (std::strcmp(argv[1], "channel") == 0) {
        return hold_channel(name);
    }
    if (std::strcmp(argv[1], "mutex") == 0) {
        return hold_mutex(name);
    }
    std::fprintf(stderr, "guard_holder: unknown kind %s\n", argv[1]);
    return 2;
}
