#pragma once
// A serial port (CNMEAIO::port, which the reader object owns): the reader loop in reads of up to
// 4096 bytes in the stream framing, the command writer thread that sends queued command bytes
// on request, and the commands to the receiver (restart, query and change of its setting).

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "nmea/encoder.h"
#include "nmeaio/input_source.h"
#include "platform/unique_handle.h"

class CReceiverListener;

class CSerialSource final : public CInputSource {
  public:
    static constexpr std::size_t receive_buffer_size = 4096;
    static constexpr std::size_t output_size = 1024;

    // Starts the command writer thread.
    explicit CSerialSource(CNMEAIO& io);
    ~CSerialSource() override;
    CSerialSource(const CSerialSource&) = delete;
    CSerialSource& operator=(const CSerialSource&) = delete;

    std::uint32_t input_flag() const noexcept override;
    const wchar_t* reader_started_trace() const noexcept override {
        return L"CNMEAIO: read proc started, thread = %p";
    }
    DWORD read(CNMEAIO& io) override;
    void abort_read(CNMEAIO& io) noexcept override;
    // The writer may be inside WriteFile on the port: it ends before the port closes.
    void close(CNMEAIO& /*io*/) noexcept override { stop_writer(); }

    // Writes the queued command bytes through the writer thread; `cancel` (may be null) cuts
    // the wait short.
    bool flush(DWORD timeout_ms, HANDLE cancel);
    bool restart_receiver(bool cold, HANDLE cancel);
    std::int32_t get_receiver(CReceiverListener* given, HANDLE cancel);
    std::int32_t set_receiver(std::int32_t value, HANDLE cancel);

  private:
    static DWORD write_proc_entry(LPVOID self);
    void write_proc();
    void stop_writer() noexcept;
    // Appends an encoded command to output under output_lock_ when there is room; true when
    // something was appended.
    template <class Encode>
    bool queue_command(Encode&& encode);

    CNMEAIO& io_;
    GPS::unique_handle writer_thread_;
    GPS::unique_handle flush_request_event_;
    GPS::unique_handle writer_stop_event_;
    GPS::unique_handle flushed_event_;
    CRITICAL_SECTION output_lock_;
    CNMEAEncoder encoder_;
    char output_[output_size] = {};
    char* output_end_ = output_;
    std::atomic<bool> flush_ok_{false};
    char receive_buffer_[receive_buffer_size] = {};
};
