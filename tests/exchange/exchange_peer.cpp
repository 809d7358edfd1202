// A second process for the channel tests: it opens a channel and acts on it as a client would,
// or pokes its header directly as a faulty client could.
//
//   exchange_peer <channel> <capacity> open                     prints the adopted capacity
//   exchange_peer <channel> <capacity> write <event|-> <piece>... one writer; per piece prints
//                                                                1 (stored) or 0; a piece "#N"
//                                                                stands for N bytes of 'x'
//   exchange_peer <channel> <capacity> read                     prints the payload
//   exchange_peer <channel> <capacity> wait-read <event> <ms>   prints "ready", waits for the
//                                                                event, prints the payload
//   exchange_peer <channel> <capacity> die-holding <text>       writes, then dies by SIGKILL
//                                                                with the guard mutex held
//   exchange_peer <channel> - peek                              prints capacity sequence length
//   exchange_peer <channel> - poke <offset> <value>             stores an int32 in the header
#include <signal.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "exchange/exchange_buffer.h"
#include "exchange/exchange_reader.h"
#include "exchange/exchange_writer.h"
#include "platform/win32.h"

namespace {

std::wstring widen(const char* text) {
    std::wstring wide;
    for (; *text != '\0'; ++text) {
        wide.push_back(static_cast<wchar_t>(*text));
    }
    return wide;
}

std::string piece_bytes(const char* piece) {
    if (piece[0] == '#') {
        return std::string(static_cast<std::size_t>(std::atoi(piece + 1)), 'x');
    }
    return piece;
}

HANDLE open_event(const char* name) {
    if (std::strcmp(name, "-") == 0) {
        return nullptr;
    }
    return CreateEventW(nullptr, FALSE, FALSE, widen(name).c_str());
}

void print_payload(GPS::exchange_buffer& channel) {
    GPS::exchange_reader reader(channel);
    std::string payload;
    while (!reader.at_end()) {
        char byte = 0;
        reader.read(&byte, 1);
        payload.push_back(byte);
    }
    std::printf("%s\n", payload.c_str());
}

std::byte* raw_header(const std::wstring& channel) {
    HANDLE mapping =
        OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, (L"GPS::EXCHANGE::" + channel).c_str());
    if (mapping == nullptr) {
        return nullptr;
    }
    return static_cast<std::byte*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 12));
}

int header_command(const std::wstring& channel, int argc, char** argv) {
    std::byte* header = raw_header(channel);
    if (header == nullptr) {
        std::printf("no channel\n");
        return 1;
    }
    std::int32_t fields[3];
    if (std::strcmp(argv[3], "peek") == 0) {
        std::memcpy(fields, header, sizeof fields);
        std::printf("%d %d %d\n", fields[0], fields[1], fields[2]);
        return 0;
    }
    if (argc < 6) {
        return 2;
    }
    const std::int32_t value = std::atoi(argv[5]);
    std::memcpy(header + std::atoi(argv[4]), &value, sizeof value);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const std::wstring name = widen(argv[1]);
    const std::string command = argv[3];
    if (command == "peek" || command == "poke") {
        return header_command(name, argc, argv);
    }
    GPS::exchange_buffer channel;
    if (!channel.open(name.c_str(), std::atoi(argv[2]), 1)) {
        std::printf("open failed\n");
        return 1;
    }
    if (command == "open") {
        std::printf("%d\n", channel.capacity());
    } else if (command == "write" && argc >= 5) {
        GPS::exchange_writer writer(channel, open_event(argv[4]));
        for (int i = 5; i < argc; ++i) {
            const std::string bytes = piece_bytes(argv[i]);
            writer.write(bytes.data(), static_cast<int>(bytes.size()));
            std::printf("%d", writer.good() ? 1 : 0);
        }
        std::printf("\n");
    } else if (command == "read") {
        print_payload(channel);
    } else if (command == "wait-read" && argc >= 6) {
        HANDLE event = open_event(argv[4]);
        std::printf("ready\n");
        if (WaitForSingleObject(event, static_cast<DWORD>(std::atoi(argv[5]))) != WAIT_OBJECT_0) {
            std::printf("timeout\n");
            return 3;
        }
        print_payload(channel);
    } else if (command == "die-holding" && argc >= 5) {
        GPS::exchange_writer writer(channel, nullptr);
        const std::string bytes = piece_bytes(argv[4]);
        writer.write(bytes.data(), static_cast<int>(bytes.size()));
        std::printf("holding\n");
        ::kill(::getpid(), SIGKILL);
    } else {
        return 2;
    }
    return 0;
}
