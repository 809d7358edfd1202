#include "tools/tarnwick/scan_report.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "client/scan_event_names.h"
#include "protocol/scan_event.h"
#include "tools/tarnwick/port_busy.h"
#include "tools/tarnwick/service_command.h"

namespace tarnwick::cli {
namespace {

// Why a probe failed, for the failure events a probe sends before its EndTryBaudRate.
const char* failure_reason(std::int32_t code) {
    switch (code) {
        case InvalideHandle:
            return "the port was not open";
        case GetCommStateFailed:
            return "its settings cannot be read";
        case SetCommStateFailed:
            return "the driver refused the rate";
        case SetCommTimeoutsFailed:
            return "its time-outs cannot be set";
        case ReadFileFailed:
            return "it cannot be read";
        case StartInputFailed:
            return "no NMEA sentence within 5 s";
        default:
            return nullptr;
    }
}

std::string rates_text(const std::vector<std::int32_t>& rates) {
    std::string text;
    for (const std::int32_t rate : rates) {
        text += (text.empty() ? "" : " ") + std::to_string(rate);
    }
    return text;
}

}  // namespace

PortScanRow& ScanReport::row(const std::wstring& port) {
    const auto found = std::find_if(rows_.begin(), rows_.end(),
                                    [&](const PortScanRow& row) { return row.port == port; });
    if (found != rows_.end()) {
        return *found;
    }
    PortScanRow added;
    added.port = port;
    rows_.push_back(std::move(added));
    return rows_.back();
}

ScanProgressLine ScanReport::add(const client::ScanEvent& event) {
    if (event.port.empty()) {
        return {};  // StartScan and EndScan concern no port
    }
    PortScanRow& port = row(event.port);
    const std::string name = narrow(event.port);
    switch (event.code) {
        case StartPortScan:
            return {"probing " + name, false};
        case StartTryBaudRate:
            port.probing = event.value;
            port.failure.clear();
            return {"  " + name + " at " + std::to_string(event.value) + " baud ...", true};
        case EndTryBaudRate: {
            const std::int32_t rate = std::abs(event.value);
            port.probing = 0;
            port.tried.push_back(rate);
            std::string text = "  " + name + " at " + std::to_string(rate) + " baud: ";
            if (event.value > 0) {
                port.answered.push_back(rate);
                return {text + "a receiver answered", false};
            }
            return {text + "no answer" + (port.failure.empty() ? "" : " (" + port.failure + ")"),
                    false};
        }
        case CreateFileFailed:
            port.cannot_open = true;
            port.probing = 0;
            // The event tells no reason; the program that holds the port is looked for now,
            // while it still does.
            port.busy = port_busy_text(event.port).value_or("");
            return {"  " + name + (port.busy.empty() ? " cannot be opened" : " " + port.busy),
                    false};
        case EndPortScan:
            port.probing = 0;
            return {"  done with " + name + " " + row_result(port), false};
        default:
            if (const char* reason = failure_reason(event.code)) {
                port.failure = reason;
            }
            return {};
    }
}

void ScanReport::finish(const std::vector<client::ScanPortRates>& summary) {
    for (PortScanRow& port : rows_) {
        port.probing = 0;
        port.answered.clear();
    }
    for (const client::ScanPortRates& found : summary) {
        PortScanRow& port = row(found.port);
        port.answered = found.rates;
        for (const std::int32_t rate : found.rates) {
            if (std::find(port.tried.begin(), port.tried.end(), rate) == port.tried.end()) {
                port.tried.push_back(rate);
            }
        }
    }
    // A parallel scan reports its ports in any order; COM2: comes before COM10:.
    std::stable_sort(rows_.begin(), rows_.end(), [](const PortScanRow& a, const PortScanRow& b) {
        return a.port.size() != b.port.size() ? a.port.size() < b.port.size() : a.port < b.port;
    });
}

std::string ScanReport::probing_now() const {
    std::string text;
    for (const PortScanRow& port : rows_) {
        if (port.probing != 0) {
            text += (text.empty() ? "" : ", ") + narrow(port.port) + " at " +
                    std::to_string(port.probing) + " baud";
        }
    }
    return text;
}

std::string row_result(const PortScanRow& row) {
    if (!row.answered.empty()) {
        return std::string(row.answered.size() == 1 ? "a receiver at " : "a receiver at each of ") +
               rates_text(row.answered) + " baud";
    }
    if (row.cannot_open && !row.busy.empty()) {
        return row.busy;
    }
    if (row.cannot_open) {
        return row.tried.empty() ? "cannot be opened (busy, or no permission)"
                                 : "no answer, then it could not be opened again";
    }
    return row.tried.empty() ? "not probed" : "no answer";
}

void print_scan_table(std::FILE* out, const std::vector<PortScanRow>& rows) {
    constexpr int port_width = 8;
    constexpr int rates_width = 30;
    std::fprintf(out, "%-*s %-*s %s\n", port_width, "port", rates_width, "rates tried", "result");
    for (const PortScanRow& row : rows) {
        const std::string tried = row.tried.empty() ? "-" : rates_text(row.tried);
        std::fprintf(out, "%-*s %-*s %s\n", port_width, narrow(row.port).c_str(), rates_width,
                     tried.c_str(), row_result(row).c_str());
    }
}

nlohmann::ordered_json scan_table_json(const std::vector<PortScanRow>& rows) {
    nlohmann::ordered_json ports = nlohmann::ordered_json::array();
    for (const PortScanRow& row : rows) {
        ports.push_back({{"port", narrow(row.port)},
                         {"tried", row.tried},
                         {"answered", row.answered},
                         {"cannot_open", row.cannot_open},
                         {"result", row_result(row)}});
    }
    return ports;
}

}  // namespace tarnwick::cli
