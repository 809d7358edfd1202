#include "fixstore/valid_rmc_files.h"

#include "base/trace.h"
#include "exchange/mapped_ifstream.h"
#include "exchange/mapped_ofstream.h"
#include "platform/win32.h"

namespace {
constexpr wchar_t prev_file[] = L"prev_valid.rmc";
constexpr wchar_t curr_file[] = L"curr_valid.rmc";
constexpr int write_buffer_size = 0x8000;
constexpr char valid_fix = 'A';
}  // namespace

CValidRMCFiles::CValidRMCFiles(const std::wstring& directory)
    : prev_name_(directory + prev_file), curr_name_(directory + curr_file) {}

CValidRMCFiles::outcome CValidRMCFiles::load_file(const std::wstring& name, CRMCRecord& out) {
    GPS::ifstream in;
    if (!in.open(name.c_str())) {
        return outcome::unopened;
    }
    // Read into a scratch record, so that a file that proves short or invalid leaves nothing of
    // itself behind (a status 'A' read from a torn file would pass for a fix).
    CRMCRecord candidate;
    try {
        candidate.deserialize(in);
    } catch (const GPS::ifstream::out_of_range&) {
        return outcome::unusable;
    }
    // Only saves write these files, and only with valid records: anything else is what an
    // interrupted save left behind.
    if (candidate.status != valid_fix) {
        return outcome::unusable;
    }
    out.assign(candidate);
    return outcome::loaded;
}

bool CValidRMCFiles::load(CRMCRecord& out) {
    const outcome current = load_file(curr_name_, out);
    if (current == outcome::loaded) {
        current_complete_ = true;
        return true;
    }
    if (current == outcome::unusable) {
        DeleteFileW(curr_name_.c_str());
    }
    const outcome previous = load_file(prev_name_, out);
    if (previous == outcome::loaded) {
        current_complete_ = make_previous_current();
        return true;
    }
    if (previous == outcome::unusable) {
        DeleteFileW(prev_name_.c_str());
    }
    return false;
}

// A current file that could not even be opened (an empty one, left by a save that died right
// after creating it) is in the way of the rename; it holds nothing, so it goes.
bool CValidRMCFiles::make_previous_current() {
    if (MoveFileW(prev_name_.c_str(), curr_name_.c_str())) {
        return true;
    }
    trace(L"CValidRMCFiles::make_previous_current: %s in the way, replaced", curr_name_.c_str());
    DeleteFileW(curr_name_.c_str());
    return MoveFileW(prev_name_.c_str(), curr_name_.c_str()) == TRUE;
}

bool CValidRMCFiles::save(const CRMCRecord& record) {
    // Rotating a current file that is not known to be complete would throw away the previous
    // file, which may then be the only valid record on disk.
    if (current_complete_) {
        DeleteFileW(prev_name_.c_str());
        // Rewritten in place, the current file would hold no whole record until the write is
        // done, with no previous file to fall back on: when it cannot be moved aside (a
        // read-only directory, say), it stays as it is and this save does not happen.
        if (!MoveFileW(curr_name_.c_str(), prev_name_.c_str()) &&
            GetLastError() != ERROR_FILE_NOT_FOUND) {
            return false;
        }
    }
    GPS::ofstream out(curr_name_.c_str(), write_buffer_size);
    record.serialize(out);
    current_complete_ = out.close();
    return current_complete_;
}
