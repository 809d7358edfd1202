#pragma once
// The shared-memory producer with one base name: its mapping, guard mutex and ready event,
// opened when the reader is made (the producer must exist by then), and the reader loop that
// takes each published block under the producer's mutex.

#include <string>

#include "nmeaio/input_source.h"
#include "platform/unique_handle.h"
#include "protocol/producer_block.h"

class CMemorySource final : public CInputSource {
  public:
    explicit CMemorySource(const wchar_t* name);
    ~CMemorySource() override;
    CMemorySource(const CMemorySource&) = delete;
    CMemorySource& operator=(const CMemorySource&) = delete;

    std::uint32_t input_flag() const noexcept override;
    const wchar_t* reader_started_trace() const noexcept override {
        return L"CNMEAIO: read memory proc started, thread = %p";
    }
    // A failed open releases every object, so the event tells whether all are there.
    bool usable() const noexcept override { return static_cast<bool>(data_ready_event_); }
    DWORD read(CNMEAIO& io) override;

  private:
    bool open_objects(const std::wstring& name);
    void release() noexcept;
    // Hands the text of the block now published to the reader.
    void process_block(CNMEAIO& io);

    GPS::unique_handle data_ready_event_;
    GPS::unique_handle data_guard_mutex_;
    GPS::unique_handle data_ready_map_;
    void* data_view_ = nullptr;
    // A snapshot of one block's text, NUL-terminated for the trace.
    char block_text_[tarnwick::protocol::producer_block::max_text + 1] = {};
};
