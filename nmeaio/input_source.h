#pragma once
// What kind of input feeds a CNMEAIO: one object per kind (serial_source.h, file_source.h,
// memory_source.h), owning what only that kind needs. The reader object keeps what every kind
// shares (the threads, the listener chain, the assembler, the parser, the recorder) and runs the
// source's read loop on its reader thread.

#include <cstdint>

#include "platform/win32.h"

class CNMEAIO;

class CInputSource {
  public:
    virtual ~CInputSource() = default;

    // The INPUT_* flag of this kind, reported once the input has started.
    virtual std::uint32_t input_flag() const noexcept = 0;
    // The trace of the reader thread's start ("... proc started, thread = %p").
    virtual const wchar_t* reader_started_trace() const noexcept = 0;
    // False when the source could not be set up: the reader then gets no thread.
    virtual bool usable() const noexcept { return true; }
    // Called by start_input before the reader runs; false fails the start.
    virtual bool open() { return true; }
    // The reader thread's loop: 0 on a stop, else the end code (ERROR_HANDLE_EOF at the end of
    // a replay, ERROR_TIMEOUT, or the system error of a failed read).
    virtual DWORD read(CNMEAIO& io) = 0;
    // Called from the destroying thread after the stop was asked for, before it waits for the
    // reader thread: ends a wait the stop event does not reach.
    virtual void abort_read(CNMEAIO& /*io*/) noexcept {}
    // Called once the reader thread has ended (or on it, when it destroys the object).
    virtual void close(CNMEAIO& /*io*/) noexcept {}
};
