#pragma once
// A port scan followed through the service's scan events (message 1003): what is being probed
// now, a line for each step worth keeping, and at the end one row per port with the rates tried
// and the outcome.

#include <cstdint>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "client/stream_message.h"

namespace tarnwick::cli {

struct PortScanRow {
    std::wstring port;
    std::vector<std::int32_t> tried;     // in the order probed
    std::vector<std::int32_t> answered;  // where a receiver sent a sentence
    bool cannot_open = false;
    std::string busy;          // "busy: in use by another program (…)" when a holder was seen
    std::int32_t probing = 0;  // the rate under probe now; 0 when none
    std::string failure;       // why the rate under probe failed, once it is known
};

// A line the scan is worth; `transient` lines only say what is starting, which a terminal's
// status line shows instead.
struct ScanProgressLine {
    std::string text;
    bool transient = false;
};

class ScanReport {
  public:
    // Takes one scan event; returns its line, with empty text when it has none.
    ScanProgressLine add(const client::ScanEvent& event);
    // EndScan's summary is the service's own account of what answered: it prevails over the
    // events (some may have been lost), and names ports whose events were never seen.
    void finish(const std::vector<client::ScanPortRates>& summary);

    const std::vector<PortScanRow>& rows() const noexcept { return rows_; }
    // "COM1: at 19200 baud, COM2: at 9600 baud": the probes under way; empty when none.
    std::string probing_now() const;

  private:
    PortScanRow& row(const std::wstring& port);

    std::vector<PortScanRow> rows_;
};

// "a receiver at 9600 baud", "no answer", "cannot be opened" …
std::string row_result(const PortScanRow& row);

// The table: port, rates tried, result.
void print_scan_table(std::FILE* out, const std::vector<PortScanRow>& rows);
nlohmann::ordered_json scan_table_json(const std::vector<PortScanRow>& rows);

}  // namespace tarnwick::cli
