#pragma once
// The replay of a recorded NMEA file: the mapped file, opened when the input starts, read one
// byte at a time in the file framing, with a pause after each RMC that sets the pace
// (replay_pace.h) and, with loop, the start again at the end.

#include <string>

#include "exchange/mapped_ifstream.h"
#include "nmeaio/input_source.h"

class CFileSource final : public CInputSource {
  public:
    CFileSource(const wchar_t* path, bool loop, float speed);

    std::uint32_t input_flag() const noexcept override;
    const wchar_t* reader_started_trace() const noexcept override {
        return L"CNMEAIO: read file proc started, thread = %p";
    }
    bool open() override { return file_.open(path_.c_str()); }
    DWORD read(CNMEAIO& io) override;
    void close(CNMEAIO& /*io*/) noexcept override { file_.close(); }

  private:
    const std::wstring path_;
    GPS::ifstream file_;
    const bool loop_;
    const float speed_;
};
